#include "cli/captcha_picture.h"

#include <chafa.h>
#include <fcntl.h>
#include <jpeglib.h>
#include <unistd.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "util/messages.h"

namespace quillet::cli {
namespace {

// libjpeg reports a broken picture through error_exit, which must not return.
struct JpegErrors {
  jpeg_error_mgr manager;
  std::jmp_buf escape;
};

[[noreturn]] void LeaveDecoding(j_common_ptr info) {
  std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->escape, 1);
}

void IgnoreMessage(j_common_ptr) {}

ChafaTermInfo* DetectTermInfo(const char* const* environment) {
  ChafaTermDb* db = chafa_term_db_get_default();
  return chafa_term_db_detect(db, const_cast<gchar**>(environment));
}

}  // namespace

std::optional<RgbImage> DecodeJpeg(std::string_view bytes) {
  if (bytes.empty()) return std::nullopt;
  RgbImage image;
  jpeg_decompress_struct info{};
  JpegErrors errors{};
  info.err = jpeg_std_error(&errors.manager);
  errors.manager.error_exit = LeaveDecoding;
  errors.manager.output_message = IgnoreMessage;
  // Nothing with a destructor is created between here and the end of decoding.
  if (setjmp(errors.escape) != 0) {
    jpeg_destroy_decompress(&info);
    return std::nullopt;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<unsigned long>(bytes.size()));
  if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
    jpeg_destroy_decompress(&info);
    return std::nullopt;
  }
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  const std::size_t stride = static_cast<std::size_t>(info.output_width) * 3;
  image.width = static_cast<int>(info.output_width);
  image.height = static_cast<int>(info.output_height);
  image.pixels.resize(stride * info.output_height);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = image.pixels.data() + stride * info.output_scanline;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return image;
}

TerminalGraphics DetectTerminalGraphics(const char* const* environment) {
  ChafaTermInfo* term = DetectTermInfo(environment);
  TerminalGraphics graphics = TerminalGraphics::kSymbols;
  if (chafa_term_info_have_seq(term, CHAFA_TERM_SEQ_BEGIN_KITTY_IMMEDIATE_IMAGE_V1)) {
    graphics = TerminalGraphics::kKitty;
  } else if (chafa_term_info_have_seq(term, CHAFA_TERM_SEQ_BEGIN_SIXELS)) {
    graphics = TerminalGraphics::kSixels;
  }
  chafa_term_info_unref(term);
  return graphics;
}

std::string DrawForTerminal(const RgbImage& image, const char* const* environment, int columns) {
  if (image.width <= 0 || image.height <= 0 || columns <= 0) return {};
  ChafaTermInfo* term = DetectTermInfo(environment);
  const TerminalGraphics graphics = DetectTerminalGraphics(environment);

  gint width = columns;
  gint height = columns;  // bounded by the width through the aspect ratio
  chafa_calc_canvas_geometry(image.width, image.height, &width, &height, 0.5f, TRUE, FALSE);

  ChafaCanvasConfig* config = chafa_canvas_config_new();
  chafa_canvas_config_set_geometry(config, width, height);
  chafa_canvas_config_set_cell_geometry(config, 10, 20);
  chafa_canvas_config_set_pixel_mode(config, graphics == TerminalGraphics::kKitty    ? CHAFA_PIXEL_MODE_KITTY
                                             : graphics == TerminalGraphics::kSixels ? CHAFA_PIXEL_MODE_SIXELS
                                                                                     : CHAFA_PIXEL_MODE_SYMBOLS);
  if (chafa_term_info_have_seq(term, CHAFA_TERM_SEQ_SET_COLOR_FGBG_DIRECT)) {
    chafa_canvas_config_set_canvas_mode(config, CHAFA_CANVAS_MODE_TRUECOLOR);
  } else if (chafa_term_info_have_seq(term, CHAFA_TERM_SEQ_SET_COLOR_FGBG_256)) {
    chafa_canvas_config_set_canvas_mode(config, CHAFA_CANVAS_MODE_INDEXED_240);
  } else {
    chafa_canvas_config_set_canvas_mode(config, CHAFA_CANVAS_MODE_INDEXED_16);
  }
  ChafaSymbolMap* symbols = chafa_symbol_map_new();
  chafa_symbol_map_add_by_tags(
      symbols, static_cast<ChafaSymbolTags>(CHAFA_SYMBOL_TAG_BLOCK | CHAFA_SYMBOL_TAG_BORDER | CHAFA_SYMBOL_TAG_SPACE));
  chafa_canvas_config_set_symbol_map(config, symbols);

  ChafaCanvas* canvas = chafa_canvas_new(config);
  chafa_canvas_draw_all_pixels(canvas, CHAFA_PIXEL_RGB8, image.pixels.data(), image.width, image.height,
                               image.width * 3);
  GString* printed = chafa_canvas_print(canvas, term);
  std::string text(printed->str, printed->len);
  g_string_free(printed, TRUE);
  chafa_canvas_unref(canvas);
  chafa_symbol_map_unref(symbols);
  chafa_canvas_config_unref(config);
  chafa_term_info_unref(term);
  return text + "\n";
}

SavedPicture SaveCaptchaPicture(std::string_view jpegBytes, const std::string& folder) {
  std::string path = (folder.empty() ? std::string(".") : folder) + "/quillet-captcha-XXXXXX.jpg";
  const int fd = ::mkstemps(path.data(), 4);
  if (fd < 0)
    return {{}, Format(_("cannot create a file for the captcha picture in %s: %s"), folder, std::strerror(errno))};
  std::size_t done = 0;
  while (done < jpegBytes.size()) {
    const ssize_t n = ::write(fd, jpegBytes.data() + done, jpegBytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const std::string reason = std::strerror(errno);
      ::close(fd);
      ::unlink(path.c_str());
      return {{}, Format(_("cannot write the captcha picture to %s: %s"), path, reason)};
    }
    done += static_cast<std::size_t>(n);
  }
  ::close(fd);
  return {path, {}};
}

}  // namespace quillet::cli

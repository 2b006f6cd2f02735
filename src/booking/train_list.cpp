#include "booking/train_list.h"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "util/codepage.h"
#include "util/text.h"

namespace quillet::train_list {
namespace {

// How the bytes of a text make up characters.
enum class TextBytes {
  kGbk,   // a byte of 0x80 or above leads a two-byte character, whose trail may be any byte
  kUtf8,  // no byte of a multi-byte character is ASCII
};

// Calls visit(offset) for every byte equal to `a` or `b` (both ASCII) that
// stands at a character start, from `at` (a character start) on, in order,
// while visit returns true. Sixteen bytes are looked at a time where the
// processor allows. In GBK the marks before the first byte of 0x80 or above
// stand at character starts, and the scan goes on after that double-byte
// character; in UTF-8 every ASCII byte is a character.
template <TextBytes kBytes, typename Visit>
void ForEachMark(std::string_view text, std::size_t at, char a, char b, Visit&& visit) {
  constexpr bool kGbk = kBytes == TextBytes::kGbk;
  const char* data = text.data();
  const std::size_t size = text.size();
#if defined(__SSE2__)
  const __m128i markA = _mm_set1_epi8(a);
  const __m128i markB = _mm_set1_epi8(b);
  while (at + 16 <= size) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
    auto marks = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(block, markA), _mm_cmpeq_epi8(block, markB))));
    const auto high = kGbk ? static_cast<unsigned>(_mm_movemask_epi8(block)) : 0u;
    if (high != 0) marks &= (high & (0u - high)) - 1;  // those before the first high byte
    for (; marks != 0; marks &= marks - 1) {
      if (!visit(at + static_cast<std::size_t>(std::countr_zero(marks)))) return;
    }
    at += high == 0 ? 16 : static_cast<std::size_t>(std::countr_zero(high)) + 2;
  }
#endif
  for (; at < size; at += kGbk && static_cast<unsigned char>(data[at]) >= 0x80 ? 2 : 1) {
    if ((data[at] == a || data[at] == b) && !visit(at)) return;
  }
}

// A train text as the list holds it (untrimmed): visited when, trimmed of
// spaces, it is not empty, not the "," between two texts, and has all the
// pieces.
void VisitTrainText(std::string_view text, TrainVisitor visit, void* context) {
  const std::string_view trimmed = TrimSpacesView(text);
  if (trimmed.empty() || trimmed == ",") return;
  TrainPieces pieces;
  if (SplitTrainText(trimmed, pieces) == kTrainPieces) visit(context, pieces);
}

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

std::size_t SplitTrainText(std::string_view text, TrainPieces& pieces) {
  std::size_t count = 0;
  std::size_t begin = 0;  // of the current piece
  ForEachMark<TextBytes::kGbk>(text, 0, '|', '|', [&](std::size_t bar) {
    pieces[count++] = text.substr(begin, bar - begin);
    begin = bar + 1;
    return count < kTrainPieces;
  });
  // The rest after the last separator is a piece unless it is empty.
  if (count < kTrainPieces && begin < text.size()) pieces[count++] = text.substr(begin);
  return count;
}

void ForEachTrainText(std::string_view list, TrainVisitor visit, void* context) {
  // The texts between two quotes are split while they are scanned; only one
  // with spaces at an end (never seen from the service) is split again after
  // trimming.
  bool inText = false;
  std::size_t textBegin = 0;
  std::size_t pieceBegin = 0;
  std::size_t count = 0;
  TrainPieces pieces;
  const auto finishText = [&](std::size_t end) {
    const std::string_view text = list.substr(textBegin, end - textBegin);
    const std::string_view trimmed = TrimSpacesView(text);
    if (trimmed.empty() || trimmed == ",") return;
    if (trimmed.size() != text.size()) {
      VisitTrainText(text, visit, context);
      return;
    }
    if (count < kTrainPieces && pieceBegin < end) pieces[count++] = list.substr(pieceBegin, end - pieceBegin);
    if (count == kTrainPieces) visit(context, pieces);
  };
  const char* const data = list.data();
  ForEachMark<TextBytes::kGbk>(list, 0, '|', '"', [&](std::size_t at) {
    if (data[at] == '|') {
      if (inText && count < kTrainPieces) {
        pieces[count++] = std::string_view(data + pieceBegin, at - pieceBegin);  // at < list.size()
        pieceBegin = at + 1;
      }
      return true;
    }
    // A quote closes the text before it and opens the next one.
    if (inText) finishText(at);
    inText = true;
    textBegin = pieceBegin = at + 1;
    count = 0;
    return true;
  });
}

void ForEachWantedTrainText(std::string_view utf8List, std::span<const std::string> codes, TrainVisitor visit,
                            void* context) {
  // In UTF-8 every '"' and '|' byte is a character, so the texts are the
  // spans between two quotes, found by plain byte searches. Only the first
  // four pieces of each are looked at here: trimming changes only the first
  // and the last piece, and a text whose piece 3 is its last has too few
  // pieces to count, so piece 3 of the untrimmed text is the one that counts.
  const auto wanted = [&codes](std::string_view code) {
    if (IsAscii(code)) return std::find(codes.begin(), codes.end(), code) != codes.end();
    return std::find(codes.begin(), codes.end(), GbkFromUtf8(code)) != codes.end();
  };
  const std::size_t size = utf8List.size();
  const auto quoteFrom = [&utf8List, size](std::size_t from) {
    const void* found = std::memchr(utf8List.data() + from, '"', size - from);
    return found == nullptr ? std::string_view::npos
                            : static_cast<std::size_t>(static_cast<const char*>(found) - utf8List.data());
  };
  std::size_t quote = quoteFrom(0);
  while (quote != std::string_view::npos) {
    const std::size_t textBegin = quote + 1;
    // The first four separators, unless the text's closing quote comes first.
    std::size_t bars = 0;
    std::size_t pieceBegin = textBegin;
    std::size_t textEnd = std::string_view::npos;
    std::string_view code;
    ForEachMark<TextBytes::kUtf8>(utf8List, textBegin, '|', '"', [&](std::size_t at) {
      if (utf8List[at] == '"') {
        textEnd = at;
        return false;
      }
      if (bars == 3) code = utf8List.substr(pieceBegin, at - pieceBegin);
      pieceBegin = at + 1;
      return ++bars < 4;
    });
    if (textEnd == std::string_view::npos) textEnd = quoteFrom(pieceBegin);
    if (textEnd == std::string_view::npos) return;  // an unclosed text is not one
    if (bars == 4 && wanted(code)) {
      VisitTrainText(GbkFromUtf8(utf8List.substr(textBegin, textEnd - textBegin)), visit, context);
    }
    quote = textEnd;  // it closes this text and opens the next
  }
}

TrainRecord MakeTrainRecord(const TrainPieces& p, const StationNames& names) {
  return TrainRecord{.stationTrainCode = std::string(p[3]),
                     .trainNo = std::string(p[2]),
                     .startTime = std::string(p[8]),
                     .arriveTime = std::string(p[9]),
                     .fromStationName = std::string(names.NameFor(p[6])),
                     .fromTelecode = std::string(p[6]),
                     .toStationName = std::string(names.NameFor(p[7])),
                     .toTelecode = std::string(p[7]),
                     .duration = std::string(p[10]),
                     .canWebBuy = std::string(p[11]),
                     .leftTicket = std::string(p[12]),
                     .businessSeat = std::string(p[32]),
                     .firstClassSeat = std::string(p[31]),
                     .secondClassSeat = std::string(p[30]),
                     .hardSeat = std::string(p[29]),
                     .hardSleeper = std::string(p[28]),
                     .noSeat = std::string(p[26]),
                     .seatCount25 = std::string(p[25]),
                     .softSeat = std::string(p[24]),
                     .softSleeper = std::string(p[23]),
                     .deluxeSoftSleeper = std::string(p[20]),
                     .otherSeat = std::string(p[22]),
                     .secretStr = std::string(p[0]),
                     .trainLocation = std::string(p[15])};
}

}  // namespace quillet::train_list

#include "util/regex_matcher.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <functional>
#include <map>
#include <memory>
#include <mutex>

#include "util/codepage.h"

namespace quillet {
namespace {

// Bounds for one search. The passenger pattern chains lazy gaps, and on an
// answer that lacks a closing key such a pattern backtracks polynomially;
// these limits end it well within a second. The match limit holds for the
// compiled (JIT) code too; there the depth is bounded by the JIT stack and
// the interpreter's depth and heap limits apply to patterns without JIT code.
constexpr uint32_t kMatchLimit = 2'000'000;
constexpr uint32_t kDepthLimit = 10'000;
constexpr uint32_t kHeapLimitKib = 64 * 1024;
constexpr std::size_t kJitStackStart = 32 * 1024;
constexpr std::size_t kJitStackMax = 1024 * 1024;
constexpr std::size_t kCachedPatterns = 64;  // the program uses two; anything beyond is compiled per run

struct CodeDeleter {
  void operator()(pcre2_code* p) const { pcre2_code_free(p); }
};
struct CompileContextDeleter {
  void operator()(pcre2_compile_context* p) const { pcre2_compile_context_free(p); }
};
struct MatchContextDeleter {
  void operator()(pcre2_match_context* p) const { pcre2_match_context_free(p); }
};
struct MatchDataDeleter {
  void operator()(pcre2_match_data* p) const { pcre2_match_data_free(p); }
};
struct JitStackDeleter {
  void operator()(pcre2_jit_stack* p) const { pcre2_jit_stack_free(p); }
};

// A compiled pattern: read-only once made, so any number of threads may
// match with it at the same time.
struct CompiledPattern {
  std::unique_ptr<pcre2_code, CodeDeleter> code;
  uint32_t groupCount = 0;
};

std::shared_ptr<const CompiledPattern> Compile(const std::string& utf8Pattern) {
  std::unique_ptr<pcre2_compile_context, CompileContextDeleter> compileContext(pcre2_compile_context_create(nullptr));
  if (!compileContext) return nullptr;
  pcre2_set_newline(compileContext.get(), PCRE2_NEWLINE_LF);  // "." stops at a line feed only
  int errorCode = 0;
  PCRE2_SIZE errorOffset = 0;
  auto compiled = std::make_shared<CompiledPattern>();
  compiled->code.reset(pcre2_compile(reinterpret_cast<PCRE2_SPTR>(utf8Pattern.data()), utf8Pattern.size(),
                                     PCRE2_UTF | PCRE2_ALT_BSUX, &errorCode, &errorOffset, compileContext.get()));
  if (!compiled->code) return nullptr;
  // Without JIT support (or memory for it) the interpreter runs the pattern.
  pcre2_jit_compile(compiled->code.get(), PCRE2_JIT_COMPLETE);
  pcre2_pattern_info(compiled->code.get(), PCRE2_INFO_CAPTURECOUNT, &compiled->groupCount);
  return compiled;
}

// Each pattern is compiled once for the whole program. Null for a pattern
// that does not compile (remembered as such too).
std::shared_ptr<const CompiledPattern> CompiledFor(const std::string& utf8Pattern) {
  static std::mutex mutex;
  static std::map<std::string, std::shared_ptr<const CompiledPattern>, std::less<>> cache;
  {
    std::lock_guard lock(mutex);
    if (const auto found = cache.find(utf8Pattern); found != cache.end()) return found->second;
  }
  std::shared_ptr<const CompiledPattern> compiled = Compile(utf8Pattern);
  std::lock_guard lock(mutex);
  if (cache.size() < kCachedPatterns) cache.emplace(utf8Pattern, compiled);
  return compiled;
}

// The JIT stack of the calling thread (a stack serves one match at a time);
// null when it cannot be made, and the JIT code then uses its small default.
pcre2_jit_stack* ThreadJitStack() {
  thread_local std::unique_ptr<pcre2_jit_stack, JitStackDeleter> stack(
      pcre2_jit_stack_create(kJitStackStart, kJitStackMax, nullptr));
  return stack.get();
}

std::string Piece(const std::string& subject, PCRE2_SIZE start, PCRE2_SIZE end) {
  if (start == PCRE2_UNSET || end == PCRE2_UNSET || end < start) return {};
  return GbkFromUtf8(std::string_view(subject).substr(start, end - start));
}

// Length in bytes of the UTF-8 character starting at `at` (1 past the end).
std::size_t Utf8CharLength(const std::string& s, std::size_t at) {
  std::size_t n = 1;
  while (at + n < s.size() && (static_cast<unsigned char>(s[at + n]) & 0xC0) == 0x80) ++n;
  return n;
}

}  // namespace

bool RegexMatcher::Run(const std::string& pattern, const std::string& subject) {
  matches_.clear();

  const std::shared_ptr<const CompiledPattern> compiled = CompiledFor(Utf8FromGbk(pattern));
  if (!compiled) return false;
  pcre2_code* code = compiled->code.get();
  const uint32_t groupCount = compiled->groupCount;

  std::unique_ptr<pcre2_match_context, MatchContextDeleter> matchContext(pcre2_match_context_create(nullptr));
  std::unique_ptr<pcre2_match_data, MatchDataDeleter> matchData(pcre2_match_data_create_from_pattern(code, nullptr));
  if (!matchContext || !matchData) return false;
  pcre2_set_match_limit(matchContext.get(), kMatchLimit);
  pcre2_set_depth_limit(matchContext.get(), kDepthLimit);
  pcre2_set_heap_limit(matchContext.get(), kHeapLimitKib);
  if (pcre2_jit_stack* stack = ThreadJitStack()) pcre2_jit_stack_assign(matchContext.get(), nullptr, stack);

  const std::string utf8Subject = Utf8FromGbk(subject);
  const auto* data = reinterpret_cast<PCRE2_SPTR>(utf8Subject.data());
  const PCRE2_SIZE length = utf8Subject.size();
  PCRE2_SIZE offset = 0;
  uint32_t options = 0;
  // The subject came out of our own converter and is valid UTF-8; it is
  // checked once by the first search and not again for every later one.
  uint32_t checked = 0;
  while (offset <= length) {
    const int rc = pcre2_match(code, data, length, offset, options | checked, matchData.get(), matchContext.get());
    checked = PCRE2_NO_UTF_CHECK;
    if (rc == PCRE2_ERROR_NOMATCH && options != 0) {
      // No non-empty match at the place of an empty one: step one character on.
      offset += Utf8CharLength(utf8Subject, offset);
      options = 0;
      continue;
    }
    if (rc < 0) break;  // no further match, or a limit was hit: stop collecting

    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(matchData.get());
    Match match;
    match.whole = Piece(utf8Subject, ovector[0], ovector[1]);
    match.groups.reserve(groupCount);
    for (uint32_t g = 1; g <= groupCount; ++g) {
      match.groups.push_back(g < static_cast<uint32_t>(rc) ? Piece(utf8Subject, ovector[2 * g], ovector[2 * g + 1])
                                                           : std::string());
    }
    matches_.push_back(std::move(match));

    if (ovector[1] < ovector[0]) break;  // \K games; never loop on them
    offset = ovector[1];
    // After an empty match, look for a non-empty one at the same place first.
    options = ovector[0] == ovector[1] ? (PCRE2_NOTEMPTY_ATSTART | PCRE2_ANCHORED) : 0;
  }
  return true;
}

int RegexMatcher::MatchCount() const { return static_cast<int>(matches_.size()); }

std::string RegexMatcher::MatchText(int i) const {
  if (i < 1 || i > MatchCount()) return {};
  return matches_[static_cast<std::size_t>(i) - 1].whole;
}

std::string RegexMatcher::SubMatchText(int i, int j) const {
  if (i < 1 || i > MatchCount()) return {};
  const auto& groups = matches_[static_cast<std::size_t>(i) - 1].groups;
  if (j < 1 || static_cast<std::size_t>(j) > groups.size()) return {};
  return groups[static_cast<std::size_t>(j) - 1];
}

}  // namespace quillet

#pragma once
// The run's last event lines, numbered, as a page shows them.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace quillet::web {

struct NumberedLine {
  std::uint64_t number = 0;  // from 1, in the order the lines came
  std::string text;          // UTF-8
};

// Not thread-safe: its owner guards it.
class EventLines {
 public:
  explicit EventLines(std::size_t kept) : kept_(kept) {}

  void Add(std::string text) {
    lines_.push_back({++last_, std::move(text)});
    while (lines_.size() > kept_) lines_.pop_front();
  }
  // The kept lines numbered above `seen`.
  std::vector<NumberedLine> After(std::uint64_t seen) const {
    std::vector<NumberedLine> out;
    for (const NumberedLine& line : lines_)
      if (line.number > seen) out.push_back(line);
    return out;
  }
  std::uint64_t Last() const { return last_; }

 private:
  const std::size_t kept_;
  std::deque<NumberedLine> lines_;
  std::uint64_t last_ = 0;
};

}  // namespace quillet::web

#include "grab/grab_events.h"

namespace quillet {

EventMoment EventMomentNow() { return std::chrono::floor<std::chrono::milliseconds>(std::chrono::system_clock::now()); }

}  // namespace quillet

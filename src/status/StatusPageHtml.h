#pragma once
// The status page itself: one HTML document with its style and script inside (the
// timing network has no internet), in the program's language. Its script asks for
// /status.json every second and says plainly when no answer comes.
#include <string>

namespace lv {

// How often the page asks for the facts, and how long it waits for an answer.
inline constexpr int kStatusPollMs = 1000;
inline constexpr int kStatusAnswerWaitMs = 3000;

std::string StatusPageHtml();
// The page asking for the token; `wrong` when the last one given was not it.
std::string TokenPageHtml(bool wrong);

}  // namespace lv

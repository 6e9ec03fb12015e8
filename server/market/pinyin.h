// Keyboard-search letters of a security name: the first letter of the pinyin of each Chinese
// character, letters and digits as they stand, everything else left out; upper case, at
// most six. Readings come from ICU's Han-Latin transliteration, which takes the most common
// reading of a character; a short table puts right the characters security names read
// otherwise (银行, 长江, 重庆). A list that knows better passes its own letters.
#pragma once

#include <string>

namespace vq::market {

std::string pinyinInitials(const std::string& utf8Name);

}  // namespace vq::market

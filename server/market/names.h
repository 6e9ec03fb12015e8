// Word lists the universe draws its names from: the characters of company names with their
// pinyin initials, the industries with the words their companies are named after, the
// regions and the concepts. Each entry carries its own initials so that every generated
// name has correct keyboard-search letters.
#pragma once

#include <vector>

namespace vq::market::names {

struct Word {
    const char* text;
    const char* initials;
};

struct IndustryDef {
    Word name;                   // block name, e.g. 银行
    std::vector<Word> suffixes;  // endings of company names in it, e.g. 银行, 农商行
    double volatility;           // typical daily volatility of its stocks
    double priceLevel;           // typical share price
};

const std::vector<Word>& nameCharacters();  // first and second character of a company name
const std::vector<IndustryDef>& industries();
const std::vector<Word>& regions();  // provinces; the block is named region + 板块
const std::vector<Word>& concepts();

}  // namespace vq::market::names

#include "transfer/transliteration.h"

#include <array>
#include <cstdint>

namespace morbs {

namespace {

// Row k holds the outputs for the lead byte 0xC2 + k; its character j is the
// output for the second byte 0x80 + j (row 0 starts at 0xA0).
constexpr std::string_view utf8_rows[] = {
    "_iCL_YIS_cau__R__-23_mp__-o_423u",
    "AAAAAAECEEEEIIIIDNOOOOOxOUUUUUTsaaaaaaeceeeeiiiionooooo-ouuuuyby",
    "AaAaAaCcCcCcCcDcDdEeeeEeEeEeegGgGgGgHhHhIiIiIiIiIiIjJjKkkLlLlLlL",
    "lLlNnNnNnnNnOoOoOoEeRrRrRrSsSsSsSsTtTtTtUuUuUuUuUuUuWwYyYZzZzZzf",
    "bBBbbbCCcDDBBoEeEFfgAgttKkllSNnOOoAaPpRSsSltTtTUuOoYyZz3333255tp",
    "llt!dddUiiiiiAaIIOoUuUuUuUuUueAaAaAaGgGgKkOoOo33jdddGgHpNnAaAaOo",
    "AaAaEeEeIiIiOoOoRrRrUuUuSsTt33HhnduuZzAaEeOoOoOoOoYylntjooACcLTs",
    "zs_BUA______Rftuaaaaccddeee333gfdgGAaunntlIttL3sssnnNoEoFjJkRRLi",
    "rrssfllttaoolmlyzz33a_ucoBoGHjkLd__ddddttttzw___________________",
    "________________________________________________________________",
    "________________________________________________________________",
    "__________________________________________________tT__NM___ooo;J",
    "______A.EHI_O_YOlABGDEZHOIKLMNOOPP_STYFXOOIYaEninabYd3Gnolklun3o",
    "prnstufxsolnonokBuGGGfoxOozzFfSsPpssspbcssxxooTtxrcjOeedbCMMrCE3",
};

// The output for a byte pair, or 0 when the pair is not in the table.
char utf8_output(uint8_t lead, uint8_t second) {
  if (lead < 0xC2 || lead > 0xCF) return 0;
  const std::string_view row = utf8_rows[lead - 0xC2];
  const int first = lead == 0xC2 ? 0xA0 : 0x80;
  if (second < first || second > 0xBF) return 0;
  return row[second - first];
}

struct WinLetter {
  char output;
  std::string_view bytes;
};

constexpr WinLetter win_letters[] = {
    {'A', "\xA5\xC4\xC3\xC2"}, {'a', "\xB9\xE4\xE3\xE2"}, {'C', "\xC6\xC8\xC7"},
    {'c', "\xE6\xE8\xE7"},     {'D', "\xD0"},             {'d', "\xF0"},
    {'E', "\xCA\xC9\xCC\xCB"}, {'e', "\xEA\xE9\xEC\xEB"}, {'I', "\xCE\xCD"},
    {'i', "\xEE\xED"},         {'L', "\xA3\xC5\xBC"},     {'l', "\xB3\xE5"},
    {'N', "\xD1\xD2"},         {'n', "\xF1\xF2"},         {'O', "\xD3\xD6\xD5\xD4"},
    {'o', "\xF3\xF6\xF4"},     {'S', "\x8C\xDF"},         {'s', "\x9C"},
    {'T', "\x8D"},             {'t', "\x9D"},             {'U', "\xDC\xDA"},
    {'u', "\xFC\xBA"},         {'Z', "\xAF\x8F\x8E"},     {'z', "\xBF\x9F"},
};

constexpr std::array<char, 256> make_win_table() {
  std::array<char, 256> table{};
  for (const WinLetter& l : win_letters)
    for (char b : l.bytes) table[static_cast<uint8_t>(b)] = l.output;
  return table;
}

constexpr std::array<char, 256> win_table = make_win_table();

}  // namespace

void decode_utf8(std::string_view in, std::string& out) {
  out.clear();
  out.reserve(in.size());
  for (size_t i = 0; i < in.size();) {
    const uint8_t lead = static_cast<uint8_t>(in[i]);
    // The pair needs a second byte of the name itself, never its end.
    char ascii = i + 1 < in.size() ? utf8_output(lead, static_cast<uint8_t>(in[i + 1])) : 0;
    if (ascii) {
      out += ascii;
      i += 2;
    } else {
      out += in[i];
      i += 1;
    }
  }
}

void decode_win(std::string& name) {
  for (char& c : name) {
    char ascii = win_table[static_cast<uint8_t>(c)];
    if (ascii) c = ascii;
  }
}

}  // namespace morbs

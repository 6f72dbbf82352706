// Dial strings, and the variable-size structures as the service writes and the component reads.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "platform/host/utf.h"
#include "platform/telephony/dial_string.h"
#include "platform/telephony/var_struct.h"

namespace orvexa::telephony {
namespace {

TEST(DialString, OnlyPlausibleTelephoneNumbersPass) {
  struct Case {
    std::string dial;
    bool ok;
  };
  const Case kCases[] = {
      {"09121234567", true},       {"+98 21 5555 0100", true}, {"*70,,W123#", true},
      {"p1!w", true},              {"", true},                 {std::string(64, '1'), true},
      {std::string(65, '1'), false}, {"0912a", false},         {"sip:1@host", false},
      {"1@evil.example", false},   {"12;transport=tcp", false}, {"12\r\nVia: x", false},
      {"12\t3", false},            {std::string("12\0003", 4), false}, {"۰۹۱۲", false},
  };
  for (const Case& c : kCases) EXPECT_EQ(is_plausible_dial_string(c.dial), c.ok) << c.dial;
}

TEST(VarStruct, WriterFillsWhatFitsAndReportsWhatIsNeeded) {
  VarBuffer<VARSTRING> small(sizeof(VARSTRING) + 4);
  VarWriter w(small.get(), sizeof(VARSTRING));
  auto [size, offset] = w.append_text(u"Modem", true);
  w.finish();
  EXPECT_EQ(size, 12u);
  EXPECT_EQ(offset, 0u);  // did not fit
  EXPECT_EQ(small->dwNeededSize, 24u + 12u);
  EXPECT_EQ(small->dwUsedSize, 24u);

  VarBuffer<VARSTRING> big(small->dwNeededSize);
  VarWriter w2(big.get(), sizeof(VARSTRING));
  std::tie(big->dwStringSize, big->dwStringOffset) = w2.append_text(u"Modem", true);
  w2.finish();
  EXPECT_EQ(read_text(big.bytes(), sizeof(VARSTRING), big->dwStringSize, big->dwStringOffset, true),
            u"Modem");
}

TEST(VarStruct, ReaderRefusesPartsOutsideTheUsedStructure) {
  VarBuffer<VARSTRING> buffer(64);
  VarWriter w(buffer.get(), sizeof(VARSTRING));
  std::tie(buffer->dwStringSize, buffer->dwStringOffset) = w.append_text(u"ab", false);
  w.finish();
  struct Case {
    const char* why;
    DWORD size, offset;
    bool ok;
  };
  const Case kCases[] = {{"as written", 3, 24, true},        {"inside the header", 3, 4, false},
                         {"past used", 30, 24, false},       {"offset wraps", 8, 0xFFFFFFFC, false},
                         {"size wraps", 0xFFFFFFFF, 24, false}, {"empty", 0, 0, true}};
  for (const Case& c : kCases)
    EXPECT_EQ(read_text(buffer.bytes(), sizeof(VARSTRING), c.size, c.offset, false).has_value(),
              c.ok)
        << c.why;
  buffer->dwUsedSize = 65;  // more than the total
  EXPECT_FALSE(header_is_sound(buffer.bytes(), sizeof(VARSTRING)));
  buffer->dwUsedSize = 30;
  buffer->dwTotalSize = 1000;  // not what the caller allocated
  EXPECT_FALSE(read_text(buffer.bytes(), sizeof(VARSTRING), 3, 24, false));
}

TEST(VarStruct, TextEndsAtTheFirstZeroAndWideTextsDecode) {
  VarBuffer<VARSTRING> buffer(64);
  VarWriter w(buffer.get(), sizeof(VARSTRING));
  std::tie(buffer->dwStringSize, buffer->dwStringOffset) = w.append_text(u"رضا", true);
  w.finish();
  EXPECT_EQ(read_text(buffer.bytes(), sizeof(VARSTRING), buffer->dwStringSize,
                      buffer->dwStringOffset, true),
            u"رضا");
  EXPECT_EQ(host::to_utf8(*read_text(buffer.bytes(), sizeof(VARSTRING), buffer->dwStringSize,
                                     buffer->dwStringOffset, true)),
            "رضا");
  EXPECT_EQ(host::to_utf16("رضا"), u"رضا");
}

// Random headers, sizes and offsets: the reader answers or refuses, and never reads outside
// (the sanitizer build checks the "never").
TEST(VarStruct, BoundedRandomStructuresAreReadSafely) {
  std::mt19937 random(20261209);
  for (int round = 0; round < 20000; ++round) {
    const std::size_t total = 24 + random() % 200;
    std::vector<std::uint8_t> bytes(total);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
    VARSTRING head{};
    std::memcpy(&head, bytes.data(), sizeof head);
    if (random() % 2) {
      head.dwTotalSize = static_cast<DWORD>(total);
      head.dwUsedSize = static_cast<DWORD>(random() % (total + 8));
      std::memcpy(bytes.data(), &head, sizeof head);
    }
    auto text = read_text(bytes, sizeof(VARSTRING), head.dwStringSize % (random() % 2 ? 300 : 1u << 31),
                          head.dwStringOffset % (random() % 2 ? 300 : 1u << 31), random() % 2);
    if (text) {
      EXPECT_LE(text->size(), total);
    }
  }
}

// The fuzz corpus of service structures: the caller-ID part of each is read or refused.
TEST(VarStruct, CorpusStructuresAreReadOrRefused) {
  const char* source = std::getenv("ORVEXA_SOURCE_DIR");
  const auto corpus = std::filesystem::path(source ? source : ".") / "fuzz/corpus/var_struct";
  int files = 0;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(corpus, ec)) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    bytes.resize(std::max(bytes.size(), sizeof(LINECALLINFO)));
    LINECALLINFO info;
    std::memcpy(&info, bytes.data(), sizeof info);
    auto text = read_text(bytes, sizeof(LINECALLINFO), info.dwCallerIDSize, info.dwCallerIDOffset, true);
    const bool sound = entry.path().filename() == "caller_id.bin";
    EXPECT_EQ(text.has_value(), sound) << entry.path();
    if (sound) {
      EXPECT_EQ(*text, u"0912");
    }
    ++files;
  }
  EXPECT_GE(files, 3);
}

}  // namespace
}  // namespace orvexa::telephony

// Splitting a benchmark sample into access units: well-formed streams, streams cut short or
// broken (the walk must end and refuse them), the zeroed padding after every unit, and the
// samples the build makes.

#include "player/BenchmarkData.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "TestSupport.h"

using testsupport::TempDir;

namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes kSps = {0, 0, 0, 1, 0x67, 0x64, 0x00, 0x28, 0xac};
const Bytes kPps = {0, 0, 0, 1, 0x68, 0xee, 0x3c, 0x80};
const Bytes kSei = {0, 0, 1, 0x06, 0x05, 0x01, 0x80};
const Bytes kIdr = {0, 0, 1, 0x65, 0x88, 0x84, 0x21};
const Bytes kP = {0, 0, 1, 0x41, 0x9a, 0x02};

Bytes join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

struct Unit {
    std::uint32_t length;
    bool parameterSets;
    bool operator==(const Unit& o) const { return length == o.length && parameterSets == o.parameterSets; }
};

std::ostream& operator<<(std::ostream& out, const Unit& u) {
    return out << "{" << u.length << (u.parameterSets ? ", sets}" : "}");
}

std::vector<Unit> unitsOf(const BenchmarkData& data) {
    std::vector<Unit> out;
    for (const BenchmarkAccessUnit& u : data.units())
        out.push_back({u.length, u.hasParameterSets});
    return out;
}

}  // namespace

TEST(BenchmarkData, SplitsStreamsIntoAccessUnitsAndRefusesBrokenOnes) {
    const std::uint32_t head = std::uint32_t(kSps.size() + kPps.size() + kSei.size() + kIdr.size());
    const std::uint32_t p = std::uint32_t(kP.size());
    std::mt19937 random(7);
    Bytes noise(100000);
    for (auto& b : noise)
        b = std::uint8_t(random() | 1);  // never a zero: no start code anywhere
    struct Case {
        const char* what;
        Bytes file;
        bool loads;
        std::vector<Unit> units;
    } cases[] = {
        {"parameter sets and SEI join the picture", join({kSps, kPps, kSei, kIdr, kP, kP}), true,
         {{head, true}, {p, false}, {p, false}}},
        {"parameter sets in the middle", join({kP, kSps, kPps, kIdr}), true,
         {{p, false}, {std::uint32_t(kSps.size() + kPps.size() + kIdr.size()), true}}},
        {"ends with parameter sets and no picture", join({kIdr, kSps, kPps}), true,
         {{std::uint32_t(kIdr.size()), false}, {std::uint32_t(kSps.size() + kPps.size()), true}}},
        {"cut inside the last unit", join({kIdr, {0, 0, 1, 0x41}}), true,
         {{std::uint32_t(kIdr.size()), false}, {4, false}}},
        {"empty", {}, false, {}},
        {"ends in a three-byte start code", join({kIdr, {0, 0, 1}}), false, {}},
        {"ends in a four-byte start code", join({kIdr, kP, {0, 0, 0, 1}}), false, {}},
        {"one byte", {0x00}, false, {}},
        {"does not begin with a start code", join({{0x12, 0x34}, kIdr}), false, {}},
        {"noise without start codes", noise, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string path = dir.file("sample.data");
        testsupport::writeFile(path, std::string(c.file.begin(), c.file.end()));
        BenchmarkData data;
        EXPECT_EQ(data.load(path), c.loads);
        EXPECT_EQ(unitsOf(data), c.units);
        EXPECT_EQ(data.hasMore(), !c.units.empty());
    }
    BenchmarkData missing;
    EXPECT_FALSE(missing.load("/nonexistent/benchmark_fullhd_hi.data"));
    EXPECT_FALSE(missing.hasMore());
    EXPECT_EQ(missing.next(), nullptr);
}

TEST(BenchmarkData, HandsOutUnitsInOrderEachFollowedByZeroedPadding) {
    TempDir dir;
    const Bytes file = join({kSps, kPps, kIdr, kP, kP});
    testsupport::writeFile(dir.file("s.data"), std::string(file.begin(), file.end()));
    BenchmarkData data;
    ASSERT_TRUE(data.load(dir.file("s.data")));
    ASSERT_EQ(data.size(), file.size());

    for (int round = 0; round < 2; ++round) {
        std::size_t offset = 0;
        for (std::size_t i = 0; i < 3; ++i) {
            ASSERT_TRUE(data.hasMore());
            const BenchmarkAccessUnit* unit = data.next();
            ASSERT_NE(unit, nullptr);
            EXPECT_EQ(Bytes(unit->data, unit->data + unit->length), Bytes(file.begin() + long(offset),
                                                                          file.begin() + long(offset + unit->length)));
            // A decoder reading past the unit it was handed reads zeros, not the next unit.
            EXPECT_EQ(Bytes(unit->data + unit->length, unit->data + unit->length + BenchmarkData::kPadding),
                      Bytes(BenchmarkData::kPadding, 0));
            offset += unit->length;
        }
        EXPECT_EQ(offset, file.size());
        EXPECT_FALSE(data.hasMore());
        EXPECT_EQ(data.next(), nullptr);
        data.rewind();
    }
}

TEST(BenchmarkData, SamplesOfTheBuildHoldOneUnitPerPicture) {
    // 3 seconds at 60 pictures per second, one slice per picture, a key frame with its
    // parameter sets every 60 pictures.
    for (const char* name : {"benchmark_hdready_low", "benchmark_hdready_hi", "benchmark_fullhd_low",
                             "benchmark_fullhd_hi"}) {
        SCOPED_TRACE(name);
        BenchmarkData data;
        ASSERT_TRUE(data.load(std::string(NIMBROSTA_LIB_DIR) + "/" + name + ".data"));
        ASSERT_EQ(data.unitCount(), 180u);
        for (std::size_t i = 0; i < data.unitCount(); ++i)
            EXPECT_EQ(data.units()[i].hasParameterSets, i % 60 == 0) << i;
    }
}

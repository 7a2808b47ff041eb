// Every kind of state the players have: the three Project 64 layouts, 8 MiB of
// RDRAM, zipped Project 64 states, gzipped mupen64plus states (RMG's 2.0 too)
// and RetroArch's states of mupen64plus-next and parallel-n64.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <string>

#include "common/byte_order.h"
#include "savestate/rzip.h"
#include "savestate/save_state_image.h"
#include "savestate/state_containers.h"
#include "support/temp_dir.h"
#include "tools/state_generator.h"

namespace morvane {
namespace {

constexpr uint32_t kMiB = 1024 * 1024;

struct Kind {
    const char* name;
    gen::Layout layout;
    gen::Container container;
    uint32_t rdram;
    StateLayout expectedLayout;
    StateContainer expectedContainer;
    size_t header;
    size_t tail;  // 0: mupen64plus, whose tail is the rest
    uint32_t version = 0;  // the mupen64plus-family version word; 0: the layout's newest
};

const Kind kKinds[] = {
    {"classic", gen::Layout::Project64Classic, gen::Container::Plain, 4 * kMiB,
     StateLayout::Project64Classic, StateContainer::Plain, 1884, 8192},
    {"classic8", gen::Layout::Project64Classic, gen::Container::Plain, 8 * kMiB,
     StateLayout::Project64Classic, StateContainer::Plain, 1884, 8192},
    {"wide", gen::Layout::Project64Wide, gen::Container::Plain, 4 * kMiB,
     StateLayout::Project64Wide, StateContainer::Plain, 2656, 8192},
    {"wide8zip", gen::Layout::Project64Wide, gen::Container::Zip, 8 * kMiB,
     StateLayout::Project64Wide, StateContainer::Zip, 2656, 8192},
    {"fork", gen::Layout::Project64Fork, gen::Container::Plain, 4 * kMiB,
     StateLayout::Project64Fork, StateContainer::Plain, 2136, 8192 + 536},
    {"classiczip", gen::Layout::Project64Classic, gen::Container::Zip, 4 * kMiB,
     StateLayout::Project64Classic, StateContainer::Zip, 1884, 8192},
    {"forkzip8", gen::Layout::Project64Fork, gen::Container::Zip, 8 * kMiB,
     StateLayout::Project64Fork, StateContainer::Zip, 2136, 8192 + 536},
    {"mupen", gen::Layout::Mupen64Plus, gen::Container::Gzip, 8 * kMiB, StateLayout::Mupen64Plus,
     StateContainer::Gzip, 444, 0, 0x00010900},
    {"rmg", gen::Layout::Mupen64Plus, gen::Container::Gzip, 8 * kMiB, StateLayout::Mupen64Plus,
     StateContainer::Gzip, 444, 0, 0x00020000},
    {"retroarch", gen::Layout::Mupen64Plus, gen::Container::Rzip1, 8 * kMiB,
     StateLayout::Mupen64Plus, StateContainer::RetroArch, 444, 0, 0x00010900},
    {"parallel", gen::Layout::ParallelN64, gen::Container::Rzip2, 8 * kMiB,
     StateLayout::ParallelN64, StateContainer::RetroArch, 448, 0, 0x00010006},
};

void PrintTo(const Kind& kind, std::ostream* out) {
    *out << kind.name;
}

gen::StateOptions OptionsFor(const Kind& kind) {
    gen::StateOptions options;
    options.layout = kind.layout;
    options.container = kind.container;
    options.rdramSize = kind.rdram;
    options.mupenVersion = kind.version;
    options.faces = 3;
    options.others = 2;
    return options;
}

// Compares two states without printing megabytes when they differ.
::testing::AssertionResult Same(std::span<const uint8_t> a, std::span<const uint8_t> b) {
    if (a.size() != b.size()) {
        return ::testing::AssertionFailure() << "sizes " << a.size() << " and " << b.size();
    }
    const auto [x, y] = std::mismatch(a.begin(), a.end(), b.begin());
    if (x != a.end()) {
        return ::testing::AssertionFailure() << "first difference at " << (x - a.begin());
    }
    return ::testing::AssertionSuccess();
}

// Runs a shell command; its exit status, and what it printed.
int RunShell(const std::string& command, std::string* out = nullptr) {
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return -1;
    }
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        if (out != nullptr) {
            out->append(buffer, n);
        }
    }
    const int status = ::pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Quoted(const std::filesystem::path& path) {
    return "'" + path.string() + "'";
}

// The file offset of RDRAM byte `offset` in a state whose header has `header`
// bytes: words are stored least significant byte first.
size_t FileOffsetOfRdram(size_t header, size_t offset) {
    return header + (offset ^ 3);
}

class StateKinds : public ::testing::TestWithParam<Kind> {};

TEST_P(StateKinds, AreToldFromTheirBytesWithTheirOwnBlocks) {
    const Kind& kind = GetParam();
    const gen::GeneratedState state = gen::GenerateSaveState(OptionsFor(kind));
    SaveStateImage image;
    ASSERT_EQ(LoadSaveState(image, state.file), Error::None);
    EXPECT_EQ(image.format.layout, kind.expectedLayout);
    EXPECT_EQ(image.format.container, kind.expectedContainer);
    EXPECT_EQ(image.header.size(), kind.header);
    EXPECT_EQ(image.RdramImage.size(), kind.rdram);
    if (kind.tail != 0) {
        EXPECT_EQ(image.tail.size(), kind.tail);
    } else {
        EXPECT_EQ(kind.header + image.RdramImage.size() + image.tail.size(), state.state.size());
        EXPECT_EQ(image.format.version, kind.version);
    }
    EXPECT_TRUE(image.trailing.empty());

    // The table-root words in memory order, where the generator put them.
    uint8_t word[4];
    ReadRdram(image, state.tableRoot, 4, word);
    EXPECT_EQ(LoadBE32(word), state.tableStart);
}

TEST_P(StateKinds, RoundTripByteForByte) {
    const Kind& kind = GetParam();
    gen::StateOptions options = OptionsFor(kind);
    options.trailingBytes = 6;  // not a whole word: kept all the same
    const gen::GeneratedState state = gen::GenerateSaveState(options);
    SaveStateImage image;
    ASSERT_EQ(LoadSaveState(image, state.file), Error::None);
    EXPECT_TRUE(Same(SaveStateFileBytes(image), state.state));

    std::vector<uint8_t> packed;
    ASSERT_EQ(PackSaveStateFile(image, packed), Error::None);
    if (kind.container == gen::Container::Plain) {
        EXPECT_TRUE(Same(packed, state.file));
    }
    SaveStateImage again;
    ASSERT_EQ(LoadSaveState(again, packed), Error::None);
    EXPECT_EQ(again.format.container, image.format.container);
    EXPECT_EQ(again.format.layout, image.format.layout);
    EXPECT_TRUE(Same(SaveStateFileBytes(again), state.state));
}

TEST_P(StateKinds, AReplacementChangesOnlyItsBytes) {
    const Kind& kind = GetParam();
    const gen::GeneratedState state = gen::GenerateSaveState(OptionsFor(kind));
    const gen::GeneratedTexture* face = nullptr;
    for (const gen::GeneratedTexture& t : state.textures) {
        if (t.face && face == nullptr) {
            face = &t;
        }
    }
    ASSERT_NE(face, nullptr);
    const std::array<uint8_t, 2560> replacement = gen::FaceTexture(40);

    SaveStateImage image;
    ASSERT_EQ(LoadSaveState(image, state.file), Error::None);
    ASSERT_TRUE(WriteRdram(image, face->address, replacement));
    test::TempDir dir;
    const auto path = dir / "out_new";
    ASSERT_EQ(WriteSaveState(image, path), Error::None);

    SaveStateImage written;
    ASSERT_EQ(LoadSaveStateFile(written, path), Error::None);
    EXPECT_EQ(written.format.container, image.format.container);
    std::vector<uint8_t> expected = state.state;
    const size_t offset = face->address & kAddressMask;
    for (size_t k = 0; k < replacement.size(); ++k) {
        expected[FileOffsetOfRdram(kind.header, offset + k)] = replacement[k];
    }
    EXPECT_TRUE(Same(SaveStateFileBytes(written), expected));
}

INSTANTIATE_TEST_SUITE_P(All, StateKinds, ::testing::ValuesIn(kKinds),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(StateKinds, EightMiBHoldsTheGameInItsUpperHalf) {
    gen::StateOptions options;
    options.rdramSize = 8 * kMiB;
    const gen::GeneratedState state = gen::GenerateSaveState(options);
    ASSERT_GE(state.tableStart & kAddressMask, 4 * kMiB);
    SaveStateImage image;
    ASSERT_EQ(LoadSaveState(image, state.file), Error::None);
    ASSERT_EQ(image.RdramImage.size(), 8 * kMiB);

    const gen::GeneratedTexture& first = state.textures.front();
    std::array<uint8_t, 2560> bytes{};
    EXPECT_EQ(ReadRdram(image, first.address, 2560, bytes.data()), 2560u);
    EXPECT_EQ(bytes, gen::FaceTexture(first.faceNumber));

    // The bounds are those of 8 MiB, not of 4.
    EXPECT_TRUE(RdramRangeFits(image, 0x807FFFF0, 16));
    EXPECT_FALSE(RdramRangeFits(image, 0x807FFFF1, 16));
    EXPECT_FALSE(WriteRdram(image, 0x80800000, bytes));
    uint8_t past[8];
    EXPECT_EQ(ReadRdram(image, 0x807FFFFC, 8, past), 4u);
}

TEST(StateKinds, TheKindComesFromTheBytesNotTheName) {
    test::TempDir dir;
    gen::StateOptions zipped;
    zipped.container = gen::Container::Zip;
    gen::StateOptions mupen;
    mupen.layout = gen::Layout::Mupen64Plus;
    mupen.container = gen::Container::Gzip;
    struct Case {
        const char* name;
        gen::StateOptions options;
        StateContainer container;
    };
    for (const Case& c : {Case{"zipped.pj", zipped, StateContainer::Zip},
                          Case{"plain.pj.zip", gen::StateOptions{}, StateContainer::Plain},
                          Case{"mupen.pj", mupen, StateContainer::Gzip}}) {
        test::WriteAll(dir / c.name, gen::GenerateSaveState(c.options).file);
        SaveStateImage image;
        ASSERT_EQ(LoadSaveStateFile(image, dir / c.name), Error::None) << c.name;
        EXPECT_EQ(image.format.container, c.container) << c.name;
    }
}

TEST(StateKinds, AStateWithoutAKnownMagicIsReadAsTheClassicLayout) {
    std::vector<uint8_t> file(kSaveStateSize + 8, 0x5A);
    SaveStateImage image;
    ASSERT_EQ(LoadSaveState(image, file), Error::None);
    EXPECT_EQ(image.format.layout, StateLayout::Unmarked);
    EXPECT_EQ(image.RdramImage.size(), kRdramBlockSize);
    EXPECT_EQ(image.trailing.size(), 8u);
}

// Zip archives.

std::vector<uint8_t> ClassicState() {
    return gen::GenerateSaveState(gen::StateOptions{}).state;
}

TEST(ZippedStates, TheStateEntryIsFoundByItsMagicAndEveryEntryKeepsItsPlace) {
    const std::vector<uint8_t> state = ClassicState();
    const std::vector<uint8_t> notes = {'n', 'o', 't', 'e', 's'};
    const std::vector<uint8_t> timing = gen::TimingData(3);
    const std::vector<gen::ZipEntry> entries = {
        {"readme.txt", notes, false},
        {"Goldeneye 007 (U).dat", timing, true},
        {"renamed.bin", state, true},
        {"zz.txt", notes, true},
    };
    SaveStateImage image;
    ASSERT_EQ(LoadSaveState(image, gen::MakeZip(entries)), Error::None);
    EXPECT_EQ(image.archiveEntry, 2u);
    EXPECT_TRUE(Same(SaveStateFileBytes(image), state));

    // Written back, through an independent reader: every name, in order,
    // every content, every CRC.
    test::TempDir dir;
    ASSERT_EQ(WriteSaveState(image, dir / "out.zip"), Error::None);
    std::string listing;
    const std::string script =
        "import sys, zipfile\n"
        "z = zipfile.ZipFile(sys.argv[1])\n"
        "assert z.testzip() is None\n"
        "z.extractall(sys.argv[2])\n"
        "print('\\n'.join(z.namelist()))\n";
    ASSERT_EQ(RunShell("python3 -c \"" + script + "\" " + Quoted(dir / "out.zip") + " " +
                           Quoted(dir / "x"),
                       &listing),
              0);
    EXPECT_EQ(listing, "readme.txt\nGoldeneye 007 (U).dat\nrenamed.bin\nzz.txt\n");
    EXPECT_EQ(test::ReadAll(dir / "x" / "readme.txt"), notes);
    EXPECT_EQ(test::ReadAll(dir / "x" / "Goldeneye 007 (U).dat"), timing);
    EXPECT_TRUE(Same(test::ReadAll(dir / "x" / "renamed.bin"), state));
    EXPECT_EQ(test::ReadAll(dir / "x" / "zz.txt"), notes);
}

TEST(ZippedStates, AChangedStateIsReadCleanlyByPythonsZipfile) {
    gen::StateOptions options;
    options.container = gen::Container::Zip;
    options.zipEntryName = "GoldenEye 007 (U).pj";
    const gen::GeneratedState state = gen::GenerateSaveState(options);
    SaveStateImage image;
    ASSERT_EQ(LoadSaveState(image, state.file), Error::None);
    const std::array<uint8_t, 2560> face = gen::FaceTexture(9);
    ASSERT_TRUE(WriteRdram(image, state.textures[0].address, face));
    const auto archiveBefore = image.archive;
    test::TempDir dir;
    // Written twice: the first write must leave the image able to write again.
    ASSERT_EQ(WriteSaveState(image, dir / "GoldenEye 007 (U)_new.pj.zip"), Error::None);
    ASSERT_EQ(WriteSaveState(image, dir / "GoldenEye 007 (U)_new.pj.zip"), Error::None);
    EXPECT_TRUE(Same(image.archive, archiveBefore));

    std::string out;
    const std::string script =
        "import sys, zipfile, zlib\n"
        "z = zipfile.ZipFile(sys.argv[1])\n"
        "assert z.testzip() is None\n"
        "for i in z.infolist():\n"
        "    d = z.read(i)\n"
        "    assert zlib.crc32(d) == i.CRC\n"
        "    print(i.filename, i.file_size, i.compress_type)\n";
    ASSERT_EQ(
        RunShell("python3 -c \"" + script + "\" " + Quoted(dir / "GoldenEye 007 (U)_new.pj.zip"),
                 &out),
        0);
    EXPECT_EQ(out, "GoldenEye 007 (U).pj " + std::to_string(state.state.size()) +
                       " 8\nGoldenEye 007 (U).dat " +
                       std::to_string(gen::TimingData(options.seed).size()) + " 8\n");
}

TEST(ZippedStates, AStoredStateEntryIsReadAndWrittenBack) {
    const std::vector<uint8_t> state = ClassicState();
    SaveStateImage image;
    ASSERT_EQ(LoadSaveState(image, gen::MakeZip({{"GOLDENEYE.pj", state, false}})), Error::None);
    std::vector<uint8_t> packed;
    ASSERT_EQ(PackSaveStateFile(image, packed), Error::None);
    SaveStateImage again;
    ASSERT_EQ(LoadSaveState(again, packed), Error::None);
    EXPECT_TRUE(Same(SaveStateFileBytes(again), state));
}

TEST(ZippedStates, AnEncryptedEntryIsPassedOverAndCarriedThroughUnchanged) {
    // The first entry is marked encrypted (traditional PKWARE) in its local
    // header and in the directory; its bytes stand for the cipher text.
    const std::vector<uint8_t> secret = {'c', 'i', 'p', 'h', 'e', 'r', 't', 'e', 'x', 't', 0, 1,
                                         2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
    const std::vector<uint8_t> state = ClassicState();
    std::vector<uint8_t> archive =
        gen::MakeZip({{"notes.txt", secret, false}, {"GOLDENEYE.pj", state, true}});
    constexpr size_t kLocalFlags = 6;
    constexpr size_t kCentralFlags = 8;
    archive[kLocalFlags] |= 1;
    const auto central = std::search(archive.begin(), archive.end(), "PK\1\2", "PK\1\2" + 4);
    ASSERT_NE(central, archive.end());
    central[kCentralFlags] |= 1;

    SaveStateImage image;
    ASSERT_EQ(LoadSaveState(image, archive), Error::None);
    EXPECT_EQ(image.archiveEntry, 1u);
    EXPECT_TRUE(Same(SaveStateFileBytes(image), state));

    // Written back, the first entry is again at the start, still marked
    // encrypted, with the same stored bytes.
    std::vector<uint8_t> packed;
    ASSERT_EQ(PackSaveStateFile(image, packed), Error::None);
    ASSERT_GT(packed.size(), 30u);
    EXPECT_EQ(packed[kLocalFlags] & 1, 1);
    const size_t nameLength = LoadLE16(packed.data() + 26);
    const size_t extraLength = LoadLE16(packed.data() + 28);
    const size_t start = 30 + nameLength + extraLength;
    ASSERT_EQ(LoadLE32(packed.data() + 18), secret.size());
    ASSERT_LE(start + secret.size(), packed.size());
    EXPECT_EQ(std::vector<uint8_t>(packed.begin() + static_cast<ptrdiff_t>(start),
                                   packed.begin() + static_cast<ptrdiff_t>(start + secret.size())),
              secret);
    SaveStateImage again;
    ASSERT_EQ(LoadSaveState(again, packed), Error::None);
    EXPECT_TRUE(Same(SaveStateFileBytes(again), state));
}

// Gzip.

TEST(GzippedStates, OurOutputPassesGzipTestAndUnpacksToTheState) {
    gen::StateOptions options;
    options.layout = gen::Layout::Mupen64Plus;
    options.container = gen::Container::Gzip;
    const gen::GeneratedState state = gen::GenerateSaveState(options);
    SaveStateImage image;
    ASSERT_EQ(LoadSaveState(image, state.file), Error::None);
    test::TempDir dir;
    ASSERT_EQ(WriteSaveState(image, dir / "GoldenEye 007 (U)_new.st0"), Error::None);
    EXPECT_EQ(RunShell("gzip -t < " + Quoted(dir / "GoldenEye 007 (U)_new.st0")), 0);
    ASSERT_EQ(RunShell("gzip -dc < " + Quoted(dir / "GoldenEye 007 (U)_new.st0") + " > " +
                       Quoted(dir / "plain")),
              0);
    EXPECT_TRUE(Same(test::ReadAll(dir / "plain"), state.state));
}

TEST(GzippedStates, ConsecutiveMembersAreOneStateAndTrailingGarbageIsIgnored) {
    const std::vector<uint8_t> state = ClassicState();
    const std::vector<uint8_t> first(state.begin(), state.begin() + 1000);
    const std::vector<uint8_t> second(state.begin() + 1000, state.end());
    std::vector<uint8_t> file = gen::MakeGzip(first);
    const std::vector<uint8_t> more = gen::MakeGzip(second);
    file.insert(file.end(), more.begin(), more.end());
    file.insert(file.end(), {0, 0, 0, 0, 'x'});
    SaveStateImage image;
    ASSERT_EQ(LoadSaveState(image, file), Error::None);
    EXPECT_EQ(image.format.container, StateContainer::Gzip);
    EXPECT_TRUE(Same(SaveStateFileBytes(image), state));
}

TEST(GzippedStates, AGzippedProject64StateIsReadAndWrittenBackAsGzip) {
    gen::StateOptions options;
    options.container = gen::Container::Gzip;
    options.layout = gen::Layout::Project64Wide;
    const gen::GeneratedState state = gen::GenerateSaveState(options);
    SaveStateImage image;
    ASSERT_EQ(LoadSaveState(image, state.file), Error::None);
    EXPECT_EQ(image.format.layout, StateLayout::Project64Wide);
    std::vector<uint8_t> packed;
    ASSERT_EQ(PackSaveStateFile(image, packed), Error::None);
    ASSERT_TRUE(IsGzip(packed));
    std::vector<uint8_t> unpacked;
    ASSERT_EQ(GunzipState(packed, unpacked), Error::None);
    EXPECT_TRUE(Same(unpacked, state.state));
}

// RetroArch.

TEST(RetroArchStates, GoBackInTheirOwnFormWithEveryOtherBlockInPlace) {
    for (const gen::Container container :
         {gen::Container::Rzip1, gen::Container::Rzip2, gen::Container::Rastate}) {
        gen::StateOptions options;
        options.layout = gen::Layout::ParallelN64;
        options.container = container;
        options.extraBlocks = true;
        options.rzipChunkSize = 200000;  // not RetroArch's own, and not a power of two
        const gen::GeneratedState state = gen::GenerateSaveState(options);
        SaveStateImage image;
        ASSERT_EQ(LoadSaveState(image, state.file), Error::None);
        std::vector<uint8_t> packed;
        ASSERT_EQ(PackSaveStateFile(image, packed), Error::None);
        if (container == gen::Container::Rastate) {
            EXPECT_TRUE(Same(packed, state.file));
            continue;
        }
        // Compressed at another level, so the chunks differ; what they hold,
        // the version and the chunk size do not.
        RzipFormat before;
        RzipFormat after;
        ByteBuffer unpackedBefore;
        ByteBuffer unpackedAfter;
        ASSERT_EQ(UnpackRzip(state.file, before, unpackedBefore), Error::None);
        ASSERT_EQ(UnpackRzip(packed, after, unpackedAfter), Error::None);
        EXPECT_EQ(after.version, before.version);
        EXPECT_EQ(after.chunkSize, 200000u);
        EXPECT_TRUE(Same(unpackedAfter, unpackedBefore));
    }
}

// Refusals: each with its own code, the input file untouched and the image
// exactly as the last good load left it.

struct Refusal {
    const char* name;
    std::vector<uint8_t> file;
    Error error;
};

std::vector<uint8_t> Generated(gen::StateOptions options) {
    return gen::GenerateSaveState(options).file;
}

std::vector<Refusal> Refusals() {
    std::vector<Refusal> cases;
    gen::StateOptions zipped;
    zipped.container = gen::Container::Zip;
    zipped.datEntry = false;
    const std::vector<uint8_t> zip = Generated(zipped);

    // A damaged archive: bytes in the deflated state changed, the archive cut
    // short, its directory gone.
    std::vector<uint8_t> flipped = zip;
    flipped[zip.size() / 2] ^= 0x55;
    cases.push_back({"zip data damaged", flipped, Error::DamagedArchive});
    cases.push_back({"zip cut short",
                     std::vector<uint8_t>(zip.begin(), zip.begin() + zip.size() / 2),
                     Error::DamagedArchive});
    cases.push_back({"zip header only", std::vector<uint8_t>(zip.begin(), zip.begin() + 30),
                     Error::DamagedArchive});

    gen::StateOptions gzipped;
    gzipped.container = gen::Container::Gzip;
    const std::vector<uint8_t> gz = Generated(gzipped);
    cases.push_back({"gzip cut short", std::vector<uint8_t>(gz.begin(), gz.begin() + gz.size() / 2),
                     Error::DamagedArchive});
    std::vector<uint8_t> badCrc = gz;
    badCrc[gz.size() - 8] ^= 0xFF;  // the trailer's CRC-32
    cases.push_back({"gzip CRC", badCrc, Error::DamagedArchive});
    cases.push_back({"gzip magic only", {0x1F, 0x8B}, Error::DamagedArchive});

    // No state entry.
    cases.push_back({"zip without state",
                     gen::MakeZip({{"GOLDENEYE.dat", gen::TimingData(1), true},
                                   {"notes.txt", {'h', 'i'}, false}}),
                     Error::NoStateInArchive});
    cases.push_back({"empty zip", gen::MakeZip({}), Error::NoStateInArchive});

    // Past the size limit once unpacked, by a byte.
    std::vector<uint8_t> huge(kMaxStateSize + 1, 0);
    huge[0] = 0xC8;  // a classic magic, so that the zip entry counts as a state
    huge[1] = 0xA6;
    huge[2] = 0xD8;
    huge[3] = 0x23;
    huge[6] = 0x40;  // 4 MiB of RDRAM, so that only the size is wrong
    cases.push_back({"gzip too large", gen::MakeGzip(huge), Error::StateTooLarge});
    // The same limit holds for a plain state, whatever trails its blocks.
    cases.push_back({"plain too large", huge, Error::StateTooLarge});
    cases.push_back(
        {"zip too large", gen::MakeZip({{"GOLDENEYE.pj", huge, true}}), Error::StateTooLarge});

    // RDRAM neither 4 nor 8 MiB.
    for (uint32_t word : {0x200000u, 0x400001u, 0x600000u, 0x1000000u}) {
        gen::StateOptions options;
        options.rdramSizeWord = word;
        cases.push_back({"rdram size", Generated(options), Error::UnsupportedRdramSize});
    }
    std::vector<uint8_t> zeroSize = Generated(gen::StateOptions{});
    std::fill(zeroSize.begin() + 4, zeroSize.begin() + 8, 0);
    cases.push_back({"rdram size 0", zeroSize, Error::UnsupportedRdramSize});
    gen::StateOptions wideZip;
    wideZip.layout = gen::Layout::Project64Wide;
    wideZip.container = gen::Container::Zip;
    wideZip.rdramSizeWord = 0x300000;
    cases.push_back({"rdram size zipped", Generated(wideZip), Error::UnsupportedRdramSize});

    // A mupen64plus version we do not know.
    for (uint32_t version : {0x00000100u, 0x00030000u, 0x00010007u, 0xFFFF0000u}) {
        gen::StateOptions options;
        options.layout = gen::Layout::Mupen64Plus;
        options.container = gen::Container::Gzip;
        options.mupenVersion = version;
        cases.push_back({"mupen version", Generated(options), Error::UnsupportedStateVersion});
    }

    // One byte short of each layout's blocks.
    for (gen::Layout layout : {gen::Layout::Project64Classic, gen::Layout::Project64Wide,
                               gen::Layout::Project64Fork, gen::Layout::Mupen64Plus}) {
        gen::StateOptions options;
        options.layout = layout;
        options.mupenVersion = 0x00010000;  // the shortest mupen64plus state there is
        options.container = gen::Container::Gzip;
        const size_t size = gen::GenerateSaveState(options).state.size();
        options.truncateTo = layout == gen::Layout::Mupen64Plus ? size - 1024 - 1 : size - 1;
        cases.push_back({"one byte short", Generated(options), Error::StateTooShort});
    }
    gen::StateOptions shortZip = zipped;
    shortZip.truncateTo = 6;
    cases.push_back({"zip of a stub", Generated(shortZip), Error::StateTooShort});
    return cases;
}

TEST(Refusals, EachHasItsCodeAndTouchesNeitherTheFileNorTheImage) {
    test::TempDir dir;
    gen::StateOptions earlier;
    earlier.layout = gen::Layout::Project64Fork;
    earlier.container = gen::Container::Zip;
    SaveStateImage image;
    ASSERT_EQ(LoadSaveState(image, Generated(earlier)), Error::None);
    const std::vector<uint8_t> stateBefore = SaveStateFileBytes(image);
    const auto archiveBefore = image.archive;

    for (const Refusal& refusal : Refusals()) {
        const auto path = dir / "refused";
        test::WriteAll(path, refusal.file);
        EXPECT_EQ(LoadSaveStateFile(image, path), refusal.error) << refusal.name;
        EXPECT_TRUE(Same(test::ReadAll(path), refusal.file)) << refusal.name;
        EXPECT_EQ(image.format.layout, StateLayout::Project64Fork) << refusal.name;
        EXPECT_EQ(image.format.container, StateContainer::Zip) << refusal.name;
        EXPECT_TRUE(Same(image.archive, archiveBefore)) << refusal.name;
        EXPECT_TRUE(Same(SaveStateFileBytes(image), stateBefore)) << refusal.name;
    }
}

TEST(Refusals, TheSizeLimitItselfIsAccepted) {
    // An unmarked state padded to exactly the limit.
    const std::vector<uint8_t> state(kMaxStateSize, 0);
    SaveStateImage image;
    ASSERT_EQ(LoadSaveState(image, gen::MakeGzip(state)), Error::None);
    EXPECT_EQ(image.trailing.size(), kMaxStateSize - kSaveStateSize);
}

// The cartridge, and the output name rule.

TEST(CartridgeIdOf, NamesGoldeneyeByTheMd5OfEachRelease) {
    struct Case {
        std::string md5;
        const char* name;
        uint16_t region;
    };
    for (const Case& c : {Case{gen::GoldeneyeMd5(gen::Region::Ntsc), "GOLD", 0x0045},
                          Case{gen::GoldeneyeMd5(gen::Region::Pal), "GOLD", 0x0050},
                          Case{gen::GoldeneyeMd5(gen::Region::Japan), "GOLD", 0x004A},
                          Case{"cff69b70a8ad674a0efe5558765855c9", "GOLD", 0x0050},  // lower case
                          Case{"CFF69B70A8AD674A0EFE5558765855C8", "\0\0\0\0", 0},
                          Case{"0123456789ABCDEF0123456789ABCDEF", "\0\0\0\0", 0}}) {
        gen::StateOptions options;
        options.layout = gen::Layout::Mupen64Plus;
        options.md5 = c.md5;
        SaveStateImage image;
        ASSERT_EQ(LoadSaveState(image, gen::GenerateSaveState(options).file), Error::None);
        const CartridgeId id = CartridgeIdOf(image);
        EXPECT_EQ(std::string(id.name.begin(), id.name.end()), std::string(c.name, 4)) << c.md5;
        EXPECT_EQ(id.region, c.region) << c.md5;
    }
}

TEST(CartridgeIdOf, ReadsTheHeaderCopyOfEveryProject64Layout) {
    for (gen::Layout layout :
         {gen::Layout::Project64Classic, gen::Layout::Project64Wide, gen::Layout::Project64Fork}) {
        gen::StateOptions options;
        options.layout = layout;
        options.region = gen::Region::Pal;
        SaveStateImage image;
        ASSERT_EQ(LoadSaveState(image, gen::GenerateSaveState(options).file), Error::None);
        const CartridgeId id = CartridgeIdOf(image);
        EXPECT_EQ(std::string(id.name.begin(), id.name.end()), "GOLD");
        EXPECT_EQ(id.region, 0x0050);
    }
    SaveStateImage empty;
    EXPECT_EQ(CartridgeIdOf(empty).region, 0);
}

TEST(OutputNameRuleFor, PutsTheContainerSuffixAsideAndKeepsMupenExtensions) {
    StateFormat format;
    EXPECT_EQ(OutputNameRuleFor(format).containerSuffix, "");
    EXPECT_FALSE(OutputNameRuleFor(format).keepOwnExtension);
    format.container = StateContainer::Zip;
    EXPECT_EQ(OutputNameRuleFor(format).containerSuffix, ".zip");
    EXPECT_FALSE(OutputNameRuleFor(format).keepOwnExtension);
    format.container = StateContainer::Gzip;
    format.layout = StateLayout::Mupen64Plus;
    EXPECT_EQ(OutputNameRuleFor(format).containerSuffix, ".gz");
    EXPECT_TRUE(OutputNameRuleFor(format).keepOwnExtension);
    format.layout = StateLayout::Project64Wide;
    EXPECT_FALSE(OutputNameRuleFor(format).keepOwnExtension);
}

}  // namespace
}  // namespace morvane

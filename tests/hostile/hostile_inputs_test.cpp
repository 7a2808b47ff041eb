// Every hostile input of cases.txt through the built morvane-cli, as a
// separate process: it must give exactly the outcome the case names, end by
// exiting (never by a signal), change no input, and leave no temporary file.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "hostile/recipe.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "tools/state_generator.h"

namespace morvane::test {
namespace {

const std::filesystem::path kHostile = MORVANE_HOSTILE_DIR;
// Several times what the largest accepted state needs unpacked and packed.
constexpr long kMaxPeakMemoryKiB = 512 * 1024;

struct Case {
    std::string input;      // a file of tests/hostile/, a recipe, or @directory, @missing, @fifo
    std::string arguments;  // for morvane-cli, with placeholders
    int status = 0;
    std::vector<std::string> messages;  // the distinct lines of standard error
    std::string output;                 // what standard output must contain; empty: anything
    int line = 0;
};

// How a failing case names itself in the test's output.
void PrintTo(const Case& c, std::ostream* os) {
    *os << "cases.txt line " << c.line << ": " << c.input << " | " << c.arguments;
}

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    const size_t last = text.find_last_not_of(" \t");
    return first == std::string::npos ? "" : text.substr(first, last - first + 1);
}

std::vector<std::string> Split(const std::string& text, const std::string& separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t at = text.find(separator, start);
        parts.push_back(
            Trim(text.substr(start, at == std::string::npos ? std::string::npos : at - start)));
        if (at == std::string::npos) {
            return parts;
        }
        start = at + separator.size();
    }
}

std::vector<Case> LoadCases() {
    std::vector<Case> cases;
    std::ifstream in(kHostile / "cases.txt");
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (Trim(line).empty() || Trim(line)[0] == '#') {
            continue;
        }
        const std::vector<std::string> fields = Split(line, " | ");
        Case c;
        c.line = number;
        if (fields.size() < 4 || fields.size() > 5) {
            c.input = "malformed line";
            cases.push_back(c);
            continue;
        }
        c.input = fields[0];
        c.arguments = fields[1];
        c.status = std::stoi(fields[2]);
        if (fields[3] != "-") {
            c.messages = Split(fields[3], " // ");
        }
        if (fields.size() == 5 && fields[4] != "-") {
            c.output = fields[4];
        }
        cases.push_back(c);
    }
    return cases;
}

std::string CaseName(const testing::TestParamInfo<Case>& info) {
    std::string name = std::filesystem::path(info.param.input).stem().string() + "_" +
                       info.param.arguments.substr(0, info.param.arguments.find(' '));
    std::replace_if(
        name.begin(), name.end(),
        [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name + "_line" + std::to_string(info.param.line);
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

std::vector<std::string> DistinctLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (std::find(lines.begin(), lines.end(), line) == lines.end()) {
            lines.push_back(line);
        }
    }
    return lines;
}

std::vector<std::string> FilesUnder(const std::filesystem::path& folder) {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        files.push_back(std::filesystem::relative(entry.path(), folder).string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

class HostileInput : public testing::TestWithParam<Case> {};

TEST_P(HostileInput, GivesItsOutcome) {
    const Case& c = GetParam();
    ASSERT_NE(c.input, "malformed line") << "cases.txt line " << c.line;
    TempDir dir;
    const auto work = dir / "work";
    const auto temporary = dir / "tmp";
    std::filesystem::create_directories(work);
    std::filesystem::create_directories(temporary);

    // The input, in a folder of the test's own, so that the tool can write
    // nothing into the source tree whatever it does.
    std::filesystem::path input = work / std::filesystem::path(c.input).filename();
    const auto state = work / "good.pj";
    const auto picture = work / "good.bmp";
    const auto out = work / "out.pj";
    const auto exported = work / "exported";
    if (c.input == "@link-to-state-in-dir" || c.input == "@dangling-link-in-dir") {
        // A link in the export folder, named as a face's picture: to the
        // state, or to where the output would go.
        std::filesystem::create_directory(exported);
        input = exported / (c.input == "@link-to-state-in-dir" ? "tex_002.png" : "tex_000.png");
        std::filesystem::create_symlink(c.input == "@link-to-state-in-dir" ? state : out, input);
    } else if (c.input == "@hard-link-to-picture") {
        input = work / "hard.bmp";
    } else if (c.input == "@directory") {
        std::filesystem::create_directory(input);
    } else if (c.input == "@fifo") {
        ASSERT_EQ(::mkfifo(input.c_str(), 0600), 0);
    } else if (c.input != "@missing") {
        const auto source = kHostile / c.input;
        ASSERT_TRUE(std::filesystem::exists(source)) << source;
        if (source.extension() == ".recipe") {
            input.replace_extension(".pj");
            WriteAll(input, MakeFromRecipe(source));
        } else {
            std::filesystem::copy_file(source, input);
        }
    }
    // A good state and a good picture for the cases that need one.
    WriteAll(state, gen::GenerateSaveState({}).file);
    WriteAll(picture, gen::FaceBitmap(1));
    if (c.input == "@hard-link-to-picture") {
        std::filesystem::create_hard_link(picture, input);
    }
    // Pictures named as export names them, for import.
    const auto pictures = work / "pictures";
    std::filesystem::create_directory(pictures);
    std::filesystem::copy_file(kHostile / "pngs" / "indexed.png", pictures / "tex_000.png");
    WriteAll(pictures / "tex_002.bmp", gen::FaceBitmap(2));

    std::vector<std::pair<std::filesystem::path, std::vector<uint8_t>>> before;
    for (const auto& path :
         {input, state, picture, pictures / "tex_000.png", pictures / "tex_002.bmp"}) {
        if (std::filesystem::is_regular_file(path)) {
            before.emplace_back(path, ReadAll(path));
        }
    }
    std::vector<std::string> arguments;
    std::istringstream words(c.arguments);
    for (std::string word; words >> word;) {
        word = Replace(word, "{input}", input.string());
        word = Replace(word, "{state}", state.string());
        word = Replace(word, "{picture}", picture.string());
        word = Replace(word, "{out}", out.string());
        word = Replace(word, "{dir}", exported.string());
        word = Replace(word, "{pictures}", pictures.string());
        arguments.push_back(word);
    }

    ProcessOptions options;
    options.environment = {{"TMPDIR", temporary.string()}};
    const ProcessResult run = RunCli(arguments, options);

    SCOPED_TRACE("cases.txt line " + std::to_string(c.line) + ": " + c.input + " | " + c.arguments +
                 "\nstderr:\n" + run.err + "stdout:\n" + run.out);
    ASSERT_TRUE(run.exited) << "ended by signal " << run.signal;
    EXPECT_EQ(run.status, c.status);
    // Messages that name a file name it as the command line gave it.
    std::vector<std::string> messages = c.messages;
    for (std::string& message : messages) {
        message = Replace(message, "{input}", input.string());
        message = Replace(message, "{picture}", picture.string());
        message = Replace(message, "{state}", state.string());
        message = Replace(message, "{dir}", exported.string());
        message = Replace(message, "{pictures}", pictures.string());
    }
    EXPECT_EQ(DistinctLines(run.err), messages);
    if (!c.output.empty()) {
        EXPECT_NE(run.out.find(c.output), std::string::npos) << "expected on stdout: " << c.output;
    }
    for (const auto& [path, bytes] : before) {
        EXPECT_TRUE(ReadAll(path) == bytes) << path << " changed";
    }
#ifndef MORVANE_SANITIZE
    // Nothing a file claims may make the tool hold memory out of proportion
    // to the largest state it accepts (the sanitizers' own memory would
    // blur the figure).
    EXPECT_LT(run.peakMemoryKiB, kMaxPeakMemoryKiB);
#endif
    // A replacement writes its output exactly when it succeeds; nothing else
    // is ever left behind, in the input's folder or the temporary one.
    if (arguments[0] == "replace" || arguments[0] == "import") {
        EXPECT_EQ(std::filesystem::exists(out), run.status == 0);
    } else {
        EXPECT_FALSE(std::filesystem::exists(out));  // not even through a link
    }
    for (const std::string& file : FilesUnder(work)) {
        EXPECT_EQ(file.find(".morvane-partial-"), std::string::npos) << file;
    }
    EXPECT_TRUE(FilesUnder(temporary).empty());
}

INSTANTIATE_TEST_SUITE_P(Corpus, HostileInput, testing::ValuesIn(LoadCases()), CaseName);

TEST(HostileCorpus, HasEveryInputInACase) {
    // A file in the corpus that no case runs would be a hostile input never tried.
    const std::vector<Case> cases = LoadCases();
    std::vector<std::string> used;
    for (const Case& c : cases) {
        used.push_back(c.input);
    }
    int inputs = 0;
    for (const char* folder : {"bitmaps", "pngs", "archives", "states"}) {
        for (const auto& entry : std::filesystem::directory_iterator(kHostile / folder)) {
            const std::string name = std::string(folder) + "/" + entry.path().filename().string();
            EXPECT_NE(std::find(used.begin(), used.end(), name), used.end()) << name;
            ++inputs;
        }
    }
    EXPECT_GE(inputs, 40);
}

}  // namespace
}  // namespace morvane::test

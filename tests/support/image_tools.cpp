#include "support/image_tools.h"

#include <cstdlib>
#include <fstream>

#include "support/temp_dir.h"

namespace morvane::test {

bool RunCommand(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

std::string Quote(const std::filesystem::path& path) {
    std::string quoted = "'";
    for (const char c : path.string()) {
        quoted += (c == '\'') ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

bool HaveImageMagick() {
    return RunCommand("convert -version");
}

namespace {

std::string FindPythonWithPillow() {
    // The set-up script installs the distribution's Pillow, which belongs to
    // the distribution's Python; the first python3 on the path may be a
    // private one without it.
    for (const char* python : {"/usr/bin/python3", "python3"}) {
        if (RunCommand(std::string(python) + " -c 'import PIL.Image'")) {
            return python;
        }
    }
    return "";
}

}  // namespace

std::string PythonWithPillow() {
    static const std::string python = FindPythonWithPillow();
    return python;
}

bool RunPillow(const std::string& script, const std::vector<std::filesystem::path>& arguments) {
    const std::string python = PythonWithPillow();
    if (python.empty()) {
        return false;
    }
    std::string command = python + " -c " + Quote(script);
    for (const std::filesystem::path& argument : arguments) {
        // Two appends rather than " " + Quote(...): GCC 12 at -O3 mistakes the
        // temporary's insert at its front for an overlapping copy (-Wrestrict).
        command += ' ';
        command += Quote(argument);
    }
    return RunCommand(command);
}

std::vector<uint8_t> DecodeWithPillow(const std::filesystem::path& image, const std::string& mode) {
    const std::string script =
        "import sys\n"
        "from PIL import Image\n"
        "im = Image.open(sys.argv[1])\n"
        "mode = sys.argv[3]\n"
        "if mode == 'P' and im.mode != 'P': sys.exit(1)\n"
        "data = im.tobytes() if mode == 'P' else im.convert('RGB').tobytes()\n"
        "open(sys.argv[2], 'wb').write(data)\n";
    const std::filesystem::path raw = image.string() + ".raw";
    if (!RunPillow(script, {image, raw, mode})) {
        return {};
    }
    return ReadAll(raw);
}

bool SaveWithPillow(const std::filesystem::path& path, const std::string& mode, int width,
                    int height, const std::vector<uint8_t>& pixels,
                    const std::vector<uint8_t>& palette, const std::string& saveOptions) {
    const std::string script =
        "import sys\n"
        "from PIL import Image\n"
        "mode, width, height = sys.argv[2], int(sys.argv[3]), int(sys.argv[4])\n"
        "im = Image.frombytes(mode, (width, height), open(sys.argv[5], 'rb').read())\n"
        "if mode == 'P': im.putpalette(list(open(sys.argv[6], 'rb').read()))\n"
        "im.save(sys.argv[1]" + (saveOptions.empty() ? "" : ", " + saveOptions) + ")\n";
    const std::filesystem::path raw = path.string() + ".pixels";
    const std::filesystem::path rawPalette = path.string() + ".palette";
    WriteAll(raw, pixels);
    WriteAll(rawPalette, palette);
    return RunPillow(script, {path, mode, std::to_string(width), std::to_string(height), raw,
                              rawPalette});
}

void WritePpm(const std::filesystem::path& path, int width, int height,
              const std::vector<uint8_t>& rgb) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << "P6\n" << width << " " << height << "\n255\n";
    out.write(reinterpret_cast<const char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
}

}  // namespace morvane::test

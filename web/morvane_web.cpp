// The browser module's calls: the page's front end to the core, one call a
// user action. The page's worker (web/page/worker.js) owns one WebSession,
// made by morvane_new(), and passes it to every call.
//
// Bytes cross through the module's heap: the worker copies a file into
// memory it took with _malloc (and frees it after the call). Each call
// answers with one JSON object, its text at the returned pointer; the bytes
// it made (a new state, a PNG, faces' pixels) are at morvane_bytes(), for
// morvane_bytes_size() bytes. Both stay valid until the session's next call.
//
// Every refusal carries the core's text and, beneath it, what to do: the
// page shows both, in that order.

#include <emscripten/emscripten.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <new>
#include <span>
#include <string>
#include <vector>

#include "catalogue/extract_textures.h"
#include "catalogue/picture_import.h"
#include "catalogue/session.h"
#include "catalogue/texture_commands.h"
#include "catalogue/user_interface.h"
#include "common/file_io.h"
#include "common/json.h"
#include "common/messages.h"
#include "dib/dib.h"
#include "dib/thumbnail.h"
#include "texture/picture_hint.h"

namespace {

using morvane::Error;
using morvane::JsonWriter;

constexpr int kFaceWidth = 32;
constexpr int kFaceHeight = 64;
constexpr size_t kFaceRgbaBytes = size_t{kFaceWidth} * kFaceHeight * 4;

// What one open or pass showed the user, kept for the answer.
struct Shown {
    struct Message {
        std::string text;
        std::string details;
    };
    std::vector<Message> messages;
    std::string status;
};

class WebInterface final : public morvane::UserInterface {
public:
    explicit WebInterface(const morvane::Session& session, Shown& shown)
        : m_session(session), m_shown(shown) {}

    void ShowMessage(Error message) override {
        m_shown.messages.push_back({std::string(morvane::MessageText(message)),
                                    morvane::StateHintText(message, m_session.spare)});
    }
    void ShowUnreadableRecords(std::span<const int32_t> records) override {
        m_shown.messages.push_back(
            {std::string(morvane::MessageText(Error::MemoryAllocationFailure)),
             morvane::RecordsText(records) + ": " +
                 morvane::StateHintText(Error::MemoryAllocationFailure, m_session.image)});
    }
    void SetStatus(morvane::Status status) override {
        m_shown.status = std::string(morvane::StatusText(status));
    }
    void RebuildGallery(std::span<const morvane::ShownFace>) override {}

private:
    const morvane::Session& m_session;
    Shown& m_shown;
};

// A face's bitmap drawn as 32x64 RGBA, top row first; transparent when it
// has none (a face too short for a picture, or unreadable).
void AppendRgba(std::span<const uint8_t> bitmap, std::vector<uint8_t>& rgba) {
    const size_t start = rgba.size();
    rgba.resize(start + kFaceRgbaBytes, 0);
    morvane::CDib dib;
    if (bitmap.empty() || dib.Read(bitmap) == 0) {
        return;
    }
    const morvane::Thumbnail thumbnail = morvane::RenderThumbnail(dib, kFaceWidth, kFaceHeight);
    for (size_t p = 0; p * 3 + 2 < thumbnail.rgb.size() && p < kFaceRgbaBytes / 4; ++p) {
        uint8_t* pixel = rgba.data() + start + p * 4;
        pixel[0] = thumbnail.rgb[p * 3];
        pixel[1] = thumbnail.rgb[p * 3 + 1];
        pixel[2] = thumbnail.rgb[p * 3 + 2];
        pixel[3] = 255;
    }
}

}  // namespace

// One page's session: the core's, what the last call made and said.
struct WebSession {
    morvane::Session session;
    bool open = false;
    std::string json;
    std::vector<uint8_t> bytes;
    std::vector<morvane::NamedPicture> importing;
};

namespace {

void WriteRefusal(JsonWriter& writer, Error error, const std::string& hint) {
    writer.BeginObject()
        .Key("code")
        .Number(static_cast<int>(error))
        .Key("text")
        .String(morvane::MessageText(error))
        .Key("hint")
        .String(hint)
        .EndObject();
}

void WriteMessages(JsonWriter& writer, const Shown& shown) {
    writer.Key("messages").BeginArray();
    for (const Shown::Message& message : shown.messages) {
        writer.BeginObject()
            .Key("text")
            .String(message.text)
            .Key("details")
            .String(message.details)
            .EndObject();
    }
    writer.EndArray();
}

// The faces as the session shows them, their pixels into the session's bytes
// in the same order.
void WriteFaces(JsonWriter& writer, WebSession& web) {
    const morvane::Session& session = web.session;
    const std::vector<int32_t> changed = morvane::ChangedFaces(session);
    web.bytes.clear();
    web.bytes.reserve(session.faces.size() * kFaceRgbaBytes);
    writer.Key("faces").BeginArray();
    for (const morvane::ShownFace& face : session.faces) {
        const morvane::TextureRecord& record =
            session.catalogue.records[static_cast<size_t>(face.record)];
        writer.BeginObject()
            .Key("record")
            .Number(face.record)
            .Key("identifier")
            .Number(record.entry.identifier)
            .Key("address")
            .Number(record.entry.address)
            .Key("size")
            .Number(record.size)
            .Key("name")
            .String(morvane::PictureName(face.record, "png"))
            .Key("drawn")
            .Bool(!face.bitmap.empty())
            .Key("readable")
            .Bool(morvane::ExtentIsReadable(session.image, session.catalogue, face.record))
            .Key("changed")
            .Bool(std::find(changed.begin(), changed.end(), face.record) != changed.end())
            .EndObject();
        AppendRgba(face.bitmap, web.bytes);
    }
    writer.EndArray();
}

// The state as the page names it: the tool's format line, the release, the
// count of faces and the name a download is given.
void WriteState(JsonWriter& writer, const WebSession& web) {
    const morvane::Session& session = web.session;
    writer.Key("name")
        .String(session.statePath.filename().string())
        .Key("format")
        .String(morvane::StateFormatText(session.image))
        .Key("release")
        .String(session.release == morvane::Release::Ntsc ? "NTSC" : "PAL")
        .Key("shown")
        .Number(session.catalogue.shownCount)
        .Key("extracted")
        .String(session.catalogue.shownCount > 0
                    ? morvane::ExtractedText(session.catalogue.shownCount)
                    : std::string(morvane::NoTexturesFoundText()))
        .Key("output")
        .String(session.OutputStatePath.filename().string());
}

const char* Finish(WebSession& web, JsonWriter& writer) {
    web.json = writer.EndObject().text();
    return web.json.c_str();
}

// An answer that says only that memory ran out.
const char* OutOfMemory(WebSession& web) {
    JsonWriter writer;
    writer.BeginObject().Key("refusal");
    WriteRefusal(writer, Error::OutOfMemory,
                 morvane::StateHintText(Error::OutOfMemory, web.session.image));
    web.bytes.clear();
    return Finish(web, writer);
}

// The extraction pass again, after the image changed: its messages were
// shown when the state was opened, and are not repeated.
void Refresh(WebSession& web) {
    Shown ignored;
    WebInterface ui(web.session, ignored);
    morvane::ExtractTextures(web.session, ui);
}

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE WebSession* morvane_new() {
    return new (std::nothrow) WebSession;
}

EMSCRIPTEN_KEEPALIVE void morvane_delete(WebSession* web) {
    delete web;
}

EMSCRIPTEN_KEEPALIVE const uint8_t* morvane_bytes(WebSession* web) {
    return web->bytes.data();
}

EMSCRIPTEN_KEEPALIVE size_t morvane_bytes_size(WebSession* web) {
    return web->bytes.size();
}

// Opens the save-state file `name` from its `size` bytes at `file`, as Browse
// opens a file: a state that is refused, or whose game is, leaves the state
// opened before as it was. Answers
//   {"accepted", "refusal": {code, text, hint} (the file is no state),
//    "messages": [{text, details}] (what the catalogue said), "status",
//    and once accepted "name", "format", "release", "shown", "output",
//    "faces": [{record, identifier, address, size, name, drawn, readable, changed}]}
// with the faces' 32x64 RGBA pixels, one after another, in the bytes.
EMSCRIPTEN_KEEPALIVE const char* morvane_open(WebSession* web, const uint8_t* file, size_t size,
                                              const char* name) {
    try {
        Shown shown;
        WebInterface ui(web->session, shown);
        // A file past what any state needs is refused by its size, unread:
        // the page sends no copy of it (`file` null).
        morvane::OpenResult opened;
        if (file == nullptr || size > morvane::kMaxInputFileSize) {
            opened.read = Error::FileTooLarge;
        } else {
            opened = morvane::OpenSaveState(web->session, std::span<const uint8_t>(file, size),
                                            name, ui);
        }
        web->open = web->open || opened.accepted;
        JsonWriter writer;
        writer.BeginObject().Key("accepted").Bool(opened.accepted);
        if (opened.read != Error::None) {
            writer.Key("refusal");
            WriteRefusal(writer, opened.read, morvane::StateHintText(opened.read, web->session.spare));
        }
        WriteMessages(writer, shown);
        writer.Key("status").String(shown.status);
        web->bytes.clear();
        if (opened.accepted) {
            WriteState(writer, *web);
            WriteFaces(writer, *web);
        }
        return Finish(*web, writer);
    } catch (const std::bad_alloc&) {
        return OutOfMemory(*web);
    }
}

// Replaces the face of `record` with the picture file in the `size` bytes at
// `picture`, in memory: every check a picture file gets, the same colour
// reduction. Answers {"refusal": {code, text, hint}} and nothing changes, or
// {"reduction": how its colours were made to fit, or "", "faces": [...]}
// with the faces' pixels in the bytes.
EMSCRIPTEN_KEEPALIVE const char* morvane_replace(WebSession* web, int32_t record,
                                                 const uint8_t* picture, size_t size,
                                                 int32_t dither) {
    try {
        const std::span<const uint8_t> bytes(picture, picture == nullptr ? 0 : size);
        morvane::Reduction reduction = morvane::Reduction::None;
        // The record first, whatever the picture; then a picture past what
        // any 32x64 picture needs, unread.
        Error error = web->open ? morvane::CheckReplaceable(web->session, record)
                                : Error::NoFaceTexture;
        if (error == Error::None) {
            error = picture == nullptr || size > morvane::kMaxPictureFileSize
                        ? Error::PictureTooLarge
                        : morvane::ApplyReplacement(web->session, record, bytes,
                                                    {dither != 0, &reduction});
        }
        JsonWriter writer;
        writer.BeginObject();
        web->bytes.clear();
        if (error != Error::None) {
            const bool aboutTheTexture = error == Error::NoFaceTexture ||
                                         error == Error::MemoryAllocationFailure ||
                                         error == Error::TextureTooSmall;
            writer.Key("refusal");
            WriteRefusal(writer, error,
                         aboutTheTexture ? morvane::RecordsText(std::span(&record, 1))
                                         : morvane::PictureHintText(error, bytes));
            return Finish(*web, writer);
        }
        Refresh(*web);
        writer.Key("reduction").String(morvane::ReductionText(reduction, dither != 0));
        WriteFaces(writer, *web);
        return Finish(*web, writer);
    } catch (const std::bad_alloc&) {
        return OutOfMemory(*web);
    }
}

// Puts the face of `record` back as the state was opened. Answers as
// morvane_replace does.
EMSCRIPTEN_KEEPALIVE const char* morvane_revert(WebSession* web, int32_t record) {
    try {
        const Error error = web->open ? morvane::RevertFaceBytes(web->session, record)
                                      : Error::NoFaceTexture;
        JsonWriter writer;
        writer.BeginObject();
        web->bytes.clear();
        if (error != Error::None) {
            writer.Key("refusal");
            WriteRefusal(writer, error, morvane::RecordsText(std::span(&record, 1)));
            return Finish(*web, writer);
        }
        Refresh(*web);
        WriteFaces(writer, *web);
        return Finish(*web, writer);
    } catch (const std::bad_alloc&) {
        return OutOfMemory(*web);
    }
}

// The face of `record` as the state was opened, its 32x64 RGBA pixels in the
// bytes. Answers {} or {"refusal": ...}.
EMSCRIPTEN_KEEPALIVE const char* morvane_opened_face(WebSession* web, int32_t record) {
    try {
        std::vector<uint8_t> bitmap;
        const Error error = web->open ? morvane::BuildOpenedFaceBitmap(web->session, record, bitmap)
                                      : Error::NoFaceTexture;
        JsonWriter writer;
        writer.BeginObject();
        web->bytes.clear();
        if (error != Error::None) {
            writer.Key("refusal");
            WriteRefusal(writer, error, morvane::RecordsText(std::span(&record, 1)));
            return Finish(*web, writer);
        }
        AppendRgba(bitmap, web->bytes);
        return Finish(*web, writer);
    } catch (const std::bad_alloc&) {
        return OutOfMemory(*web);
    }
}

// The new state's file, in the form the state came in, in the bytes; its
// name by the "_new" rule. Answers {"name"} or {"refusal": ...}.
EMSCRIPTEN_KEEPALIVE const char* morvane_pack(WebSession* web) {
    try {
        const Error error = web->open ? morvane::PackSaveStateFile(web->session.image, web->bytes)
                                      : Error::CouldNotWriteSaveState;
        JsonWriter writer;
        writer.BeginObject();
        if (error != Error::None) {
            web->bytes.clear();
            writer.Key("refusal");
            WriteRefusal(writer, error, morvane::StateHintText(error, web->session.image));
            return Finish(*web, writer);
        }
        writer.Key("name").String(web->session.OutputStatePath.filename().string());
        return Finish(*web, writer);
    } catch (const std::bad_alloc&) {
        return OutOfMemory(*web);
    }
}

// The face of `record` as the PNG that export writes, in the bytes. Answers
// {"name": "tex_NNN.png"} or {"refusal": ...}.
EMSCRIPTEN_KEEPALIVE const char* morvane_export_png(WebSession* web, int32_t record) {
    try {
        const Error error = web->open ? morvane::BuildPngExport(web->session, record, web->bytes)
                                      : Error::NoFaceTexture;
        JsonWriter writer;
        writer.BeginObject();
        if (error != Error::None) {
            web->bytes.clear();
            writer.Key("refusal");
            WriteRefusal(writer, error, morvane::RecordsText(std::span(&record, 1)));
            return Finish(*web, writer);
        }
        writer.Key("name").String(morvane::PictureName(record, "png"));
        return Finish(*web, writer);
    } catch (const std::bad_alloc&) {
        return OutOfMemory(*web);
    }
}

// Every face's PNG, named as export names them, in one zip in the bytes.
// Answers {"name": "STATE_faces.zip", "left": "records ..." or ""} or
// {"refusal": ...}.
EMSCRIPTEN_KEEPALIVE const char* morvane_export_all(WebSession* web) {
    try {
        std::vector<int32_t> left;
        const Error error = web->open
                                ? morvane::BuildPngExportArchive(web->session, web->bytes, left)
                                : Error::NoFaceTexture;
        JsonWriter writer;
        writer.BeginObject();
        if (error != Error::None) {
            web->bytes.clear();
            writer.Key("refusal");
            WriteRefusal(writer, error, "");
            return Finish(*web, writer);
        }
        writer.Key("name")
            .String(web->session.statePath.stem().string() + "_faces.zip")
            .Key("left")
            .String(left.empty() ? std::string() : morvane::RecordsText(left));
        return Finish(*web, writer);
    } catch (const std::bad_alloc&) {
        return OutOfMemory(*web);
    }
}

// Takes a set of pictures back in one go, as the tool's import does: first
// each file, by morvane_import_add (its name and bytes, copied), then
// morvane_import_finish. Every picture goes in, or none. Answers
//   {"refused": N, "skipped": [{name, reason}],
//    "pictures": [{name, record, outcome: "replaced" | "unchanged" | "refused"
//                  | "duplicate", text, hint, reduction}],
//    "faces": [...]}
// with the faces' pixels in the bytes.
EMSCRIPTEN_KEEPALIVE void morvane_import_add(WebSession* web, const char* name,
                                             const uint8_t* picture, size_t size) {
    try {
        morvane::NamedPicture named;
        named.name = name;
        if (picture == nullptr || size > morvane::kMaxPictureFileSize) {
            named.read = Error::PictureTooLarge;
        } else {
            named.bytes.assign(picture, picture + size);
        }
        web->importing.push_back(std::move(named));
    } catch (const std::bad_alloc&) {
        web->importing.clear();
    }
}

EMSCRIPTEN_KEEPALIVE const char* morvane_import_finish(WebSession* web, int32_t dither) {
    try {
        const std::vector<morvane::NamedPicture> pictures = std::move(web->importing);
        web->importing.clear();
        JsonWriter writer;
        writer.BeginObject();
        web->bytes.clear();
        if (!web->open) {
            writer.Key("refusal");
            WriteRefusal(writer, Error::NoFaceTexture, "");
            return Finish(*web, writer);
        }
        const morvane::ImportResult result =
            morvane::ImportPictures(web->session, pictures, {dither != 0, nullptr});
        writer.Key("refused").Number(result.refused).Key("skipped").BeginArray();
        for (const morvane::ImportedPicture& skipped : result.skipped) {
            writer.BeginObject()
                .Key("name")
                .String(skipped.name)
                .Key("reason")
                .String(skipped.reason)
                .EndObject();
        }
        writer.EndArray().Key("pictures").BeginArray();
        for (const morvane::ImportedPicture& picture : result.pictures) {
            using Outcome = morvane::ImportedPicture::Outcome;
            const char* outcome = picture.outcome == Outcome::Replaced    ? "replaced"
                                  : picture.outcome == Outcome::Unchanged ? "unchanged"
                                  : picture.outcome == Outcome::Duplicate ? "duplicate"
                                                                          : "refused";
            std::string hint;
            if (picture.outcome == Outcome::Refused) {
                for (const morvane::NamedPicture& named : pictures) {
                    if (named.name == picture.name) {
                        hint = morvane::PictureHintText(picture.error, named.bytes);
                    }
                }
            }
            writer.BeginObject()
                .Key("name")
                .String(picture.name)
                .Key("record")
                .Number(picture.record)
                .Key("outcome")
                .String(outcome)
                .Key("text")
                .String(picture.outcome == Outcome::Duplicate
                            ? picture.reason
                            : std::string(morvane::MessageText(picture.error)))
                .Key("hint")
                .String(hint)
                .Key("reduction")
                .String(morvane::ReductionText(picture.reduction, dither != 0))
                .EndObject();
        }
        writer.EndArray();
        if (result.refused == 0) {
            Refresh(*web);
        }
        WriteFaces(writer, *web);
        return Finish(*web, writer);
    } catch (const std::bad_alloc&) {
        web->importing.clear();
        return OutOfMemory(*web);
    }
}

}  // extern "C"

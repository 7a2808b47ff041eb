// The browser module's calls: the page's front end to the core, one call a
// user action. The page's worker (web/page/worker.js) owns one WebSession,
// made by morvane_new(), and passes it to every call.
//
// Bytes cross through the module's heap: the worker copies a file into
// memory it took with _malloc (and frees it after the call). Each call
// answers with one JSON object, its text at the returned pointer; the bytes
// it made (a new state, a PNG, faces' pixels) are at morvane_bytes(), for
// morvane_bytes_size() bytes. Both stay valid until the session's next call.
// A file too large to be what it should is passed as a null pointer and its
// size: it is refused by that, unread.
//
// Every refusal, {"refusal": {code, text, hint}}, carries the core's text
// and, beneath it, what to do: the page shows both, in that order. Memory
// that runs out is such a refusal too, never an exception out of the module.

#include <emscripten/emscripten.h>

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <new>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "catalogue/extract_textures.h"
#include "catalogue/texture_commands.h"
#include "common/byte_order.h"
#include "common/file_io.h"
#include "common/messages.h"
#include "savestate/rzip.h"
#include "savestate/state_containers.h"
#include "texture/picture_hint.h"
#include "web/web_answers.h"

namespace {

using morvane::Error;
using morvane::JsonWriter;
using namespace morvane::web;

// Runs one call, answering memory that runs out as a refusal.
template <typename Call>
const char* Answer(WebSession& web, const Call& call) {
    try {
        return call();
    } catch (const std::bad_alloc&) {
        web.importing.clear();
        return Refused(web, Error::OutOfMemory,
                       morvane::StateHintText(Error::OutOfMemory, web.session.image));
    }
}

// The hint beneath a refusal about one record's texture.
std::string RecordHint(int32_t record) {
    return morvane::RecordsText(std::span(&record, 1));
}

bool AboutTheTexture(Error error) {
    return error == Error::NoFaceTexture || error == Error::MemoryAllocationFailure ||
           error == Error::TextureTooSmall || error == Error::TooSmallForPicture;
}

// The answer of a call that changed faces: the faces and their pixels, with
// what the call adds.
template <typename More>
const char* FacesAnswer(WebSession& web, const More& more) {
    Refresh(web);
    JsonWriter writer;
    writer.BeginObject();
    more(writer);
    WriteFaces(writer, web);
    return Finish(web, writer);
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

// Runs the core's busiest loops, packing and unpacking RetroArch's chunks of
// both kinds and turning words, on 2 MiB made up for the purpose: the
// browser runs a module's code in a quick first tier until it has seen it
// busy, and compiles it fully then, aside. Run once the page is usable, this
// has it done before the player's first state, which would otherwise open
// and pack at the first tier's pace. Nothing of the session changes.
EMSCRIPTEN_KEEPALIVE void morvane_warm_up(WebSession* web) {
    Answer(*web, [] {
        // Free memory as a game's is: part noise, part zeros.
        std::vector<uint8_t> data(4u << 20, 0);
        uint32_t noise = 0x9E3779B9;
        for (size_t i = 0; i < data.size() / 2; ++i) {
            noise ^= noise << 13;
            noise ^= noise >> 17;
            noise ^= noise << 5;
            data[i] = static_cast<uint8_t>(noise >> (noise & 7));
        }
        std::vector<uint8_t> turned(data.size());
        morvane::ReverseWordBytes(data.data(), turned.data(), data.size() / 4);
        for (const uint8_t version : {uint8_t{1}, uint8_t{2}}) {
            const std::span<const uint8_t> pieces[] = {turned};
            std::vector<uint8_t> packed;
            morvane::RzipFormat format{version, morvane::kRzipDefaultChunkSize};
            morvane::ByteBuffer unpacked;
            if (morvane::PackRzip(format, pieces, packed) == Error::None) {
                morvane::UnpackRzip(packed, format, unpacked);
            }
        }
        return "";
    });
}

// Whether a file is a picture or (failing that) a state, from its first
// bytes: how a file dropped or picked anywhere is judged. A zip may be either
// a zipped state or a set of pictures, which morvane_judge_archive tells from
// the whole file. Answers {"picture": true or false, "archive": true or false}.
EMSCRIPTEN_KEEPALIVE const char* morvane_judge(WebSession* web, const uint8_t* start, size_t size) {
    return Answer(*web, [&] {
        web->bytes.clear();
        const std::span<const uint8_t> bytes(start, size);
        JsonWriter writer;
        writer.BeginObject()
            .Key("picture")
            .Bool(morvane::LooksLikePicture(bytes))
            .Key("archive")
            .Bool(morvane::IsZip(bytes));
        return Finish(*web, writer);
    });
}

// Whether a zip is a set of pictures to take back. Answers {"pictures": true
// or false}.
EMSCRIPTEN_KEEPALIVE const char* morvane_judge_archive(WebSession* web, const uint8_t* file,
                                                       size_t size) {
    return Answer(*web, [&] {
        web->bytes.clear();
        JsonWriter writer;
        writer.BeginObject().Key("pictures").Bool(
            file != nullptr && morvane::IsPictureArchive(std::span<const uint8_t>(file, size)));
        return Finish(*web, writer);
    });
}

// Opens the save-state file `name` from its `size` bytes at `file`, as Browse
// opens a file: a state that is refused, or whose game is, leaves the state
// opened before as it was. Answers
//   {"accepted", "refusal" (the file is no state), "messages": [{text,
//    details}] (what the catalogue said), "status", and once accepted the
//    state's "name", "format", "release", "shown", "extracted", "output" and
//    its "faces"}
// with the faces' 32x64 RGBA pixels, one after another, in the bytes.
EMSCRIPTEN_KEEPALIVE const char* morvane_open(WebSession* web, const uint8_t* file, size_t size,
                                              const char* name) {
    return Answer(*web, [&] {
        Shown shown;
        WebInterface ui(web->session, shown);
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
            WriteRefusal(writer, opened.read,
                         morvane::StateHintText(opened.read, web->session.spare), opened.detail);
        }
        WriteMessages(writer, shown);
        writer.Key("status").String(shown.status);
        web->bytes.clear();
        if (opened.accepted) {
            WriteState(writer, *web);
            WriteFaces(writer, *web);
        }
        return Finish(*web, writer);
    });
}

// Replaces the face of `record` with the picture file in the `size` bytes at
// `picture`, in memory: every check a picture file gets, the same colour
// reduction. Answers a refusal, and nothing changes, or {"reduction": how its
// colours were made to fit, or "", "faces"} with the faces' pixels.
EMSCRIPTEN_KEEPALIVE const char* morvane_replace(WebSession* web, int32_t record,
                                                 const uint8_t* picture, size_t size,
                                                 int32_t dither) {
    return Answer(*web, [&] {
        // The record first, whatever the picture.
        Error error = web->open ? morvane::CheckReplaceable(web->session, record)
                                : Error::NoFaceTexture;
        const std::span<const uint8_t> bytes(picture, picture == nullptr ? 0 : size);
        morvane::Reduction reduction = morvane::Reduction::None;
        if (error == Error::None) {
            error = picture == nullptr || size > morvane::kMaxPictureFileSize
                        ? Error::PictureTooLarge
                        : morvane::ApplyReplacement(web->session, record, bytes,
                                                    {dither != 0, &reduction});
        }
        if (error != Error::None) {
            return Refused(*web, error,
                           AboutTheTexture(error) ? RecordHint(record)
                                                  : morvane::PictureHintText(error, bytes));
        }
        return FacesAnswer(*web, [&](JsonWriter& writer) {
            writer.Key("reduction").String(morvane::ReductionText(reduction, dither != 0));
        });
    });
}

// Puts the face of `record` back as the state was opened. Answers as
// morvane_replace does.
EMSCRIPTEN_KEEPALIVE const char* morvane_revert(WebSession* web, int32_t record) {
    return Answer(*web, [&] {
        const Error error =
            web->open ? morvane::RevertFaceBytes(web->session, record) : Error::NoFaceTexture;
        if (error != Error::None) {
            return Refused(*web, error, RecordHint(record));
        }
        return FacesAnswer(*web, [](JsonWriter&) {});
    });
}

// The face of `record` as the state was opened, its 32x64 RGBA pixels in the
// bytes. Answers {} or a refusal.
EMSCRIPTEN_KEEPALIVE const char* morvane_opened_face(WebSession* web, int32_t record) {
    return Answer(*web, [&] {
        std::vector<uint8_t> bitmap;
        const Error error = web->open
                                ? morvane::BuildOpenedFaceBitmap(web->session, record, bitmap)
                                : Error::NoFaceTexture;
        if (error != Error::None) {
            return Refused(*web, error, RecordHint(record));
        }
        web->bytes.clear();
        AppendRgba(bitmap, web->bytes);
        JsonWriter writer;
        writer.BeginObject();
        return Finish(*web, writer);
    });
}

// The new state's file, in the form the state came in, in the bytes; its
// name by the "_new" rule. Answers {"name"} or a refusal.
EMSCRIPTEN_KEEPALIVE const char* morvane_pack(WebSession* web) {
    return Answer(*web, [&] {
        const Error error = web->open ? morvane::PackSaveStateFile(web->session.image, web->bytes)
                                      : Error::CouldNotWriteSaveState;
        if (error != Error::None) {
            return Refused(*web, error, morvane::StateHintText(error, web->session.image));
        }
        JsonWriter writer;
        writer.BeginObject().Key("name").String(
            web->session.OutputStatePath.filename().string());
        return Finish(*web, writer);
    });
}

// The face of `record` as the PNG that export writes, in the bytes. Answers
// {"name": "tex_NNN.png"} or a refusal.
EMSCRIPTEN_KEEPALIVE const char* morvane_export_png(WebSession* web, int32_t record) {
    return Answer(*web, [&] {
        const Error error = web->open ? morvane::BuildPngExport(web->session, record, web->bytes)
                                      : Error::NoFaceTexture;
        if (error != Error::None) {
            return Refused(*web, error, RecordHint(record));
        }
        JsonWriter writer;
        writer.BeginObject().Key("name").String(morvane::PictureName(record, "png"));
        return Finish(*web, writer);
    });
}

// Every face's PNG, named as export names them, in one zip in the bytes.
// Answers {"name": "STATE_faces.zip", "left": the records left out, as they
// have no picture, or ""} or a refusal.
EMSCRIPTEN_KEEPALIVE const char* morvane_export_all(WebSession* web) {
    return Answer(*web, [&] {
        std::vector<int32_t> left;
        const Error error = web->open
                                ? morvane::BuildPngExportArchive(web->session, web->bytes, left)
                                : Error::NoFaceTexture;
        if (error != Error::None) {
            return Refused(*web, error, "");
        }
        JsonWriter writer;
        writer.BeginObject()
            .Key("name")
            .String(web->session.statePath.stem().string() + "_faces.zip")
            .Key("left")
            .String(left.empty() ? std::string() : morvane::RecordsText(left));
        return Finish(*web, writer);
    });
}

// Takes a set of pictures back in one go, as the tool's import does: first
// each file by morvane_import_add (its name and bytes, copied; a zip gives
// each of its pictures), then morvane_import_finish. Every picture goes in,
// or none; a zip refused as a whole refuses the import. Answers
//   {"refused": N, "skipped": [{name, reason}],
//    "pictures": [{name, record, outcome: "replaced" | "unchanged" | "refused"
//                  | "duplicate", text, hint, reduction}],
//    "faces"}
// with the faces' pixels in the bytes.
EMSCRIPTEN_KEEPALIVE void morvane_import_add(WebSession* web, const char* name,
                                             const uint8_t* picture, size_t size) {
    Answer(*web, [&] {
        const std::span<const uint8_t> file =
            picture != nullptr ? std::span<const uint8_t>(picture, size) : std::span<const uint8_t>();
        if (morvane::IsZip(file)) {
            std::vector<morvane::NamedPicture> pictures;
            morvane::RefusalDetail detail;
            const Error read = morvane::ReadPictureArchive(file, pictures, &detail);
            if (read != Error::None && web->importRefusal.error == Error::None) {
                web->importRefusal = {read, std::move(detail)};
            }
            std::move(pictures.begin(), pictures.end(), std::back_inserter(web->importing));
            return "";
        }
        morvane::NamedPicture named;
        named.name = name;
        if (picture == nullptr || size > morvane::kMaxPictureFileSize) {
            named.read = Error::PictureTooLarge;
        } else {
            named.bytes.assign(picture, picture + size);
        }
        web->importing.push_back(std::move(named));
        return "";
    });
}

EMSCRIPTEN_KEEPALIVE const char* morvane_import_finish(WebSession* web, int32_t dither) {
    return Answer(*web, [&]() -> const char* {
        const std::vector<morvane::NamedPicture> pictures = std::move(web->importing);
        web->importing.clear();
        const auto archive = std::exchange(web->importRefusal, {});
        if (!web->open) {
            return Refused(*web, Error::NoFaceTexture, "");
        }
        if (archive.error != Error::None) {
            return Refused(*web, archive.error,
                           morvane::PictureHintText(archive.error, std::span<const uint8_t>()),
                           archive.detail);
        }
        const morvane::ImportResult result =
            morvane::ImportPictures(web->session, pictures, {dither != 0, nullptr});
        return FacesAnswer(*web, [&](JsonWriter& writer) {
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
                std::string hint;
                for (const morvane::NamedPicture& named : pictures) {
                    if (picture.outcome == Outcome::Refused && named.name == picture.name) {
                        hint = AboutTheTexture(picture.error)
                                   ? RecordHint(picture.record)
                                   : morvane::PictureHintText(picture.error, named.bytes);
                    }
                }
                writer.BeginObject()
                    .Key("name")
                    .String(picture.name)
                    .Key("record")
                    .Number(picture.record)
                    .Key("outcome")
                    .String(picture.outcome == Outcome::Replaced    ? "replaced"
                            : picture.outcome == Outcome::Unchanged ? "unchanged"
                            : picture.outcome == Outcome::Duplicate ? "duplicate"
                                                                    : "refused")
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
        });
    });
}

}  // extern "C"

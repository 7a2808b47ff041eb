#include "web/web_answers.h"

#include <algorithm>

#include "catalogue/extract_textures.h"
#include "catalogue/texture_catalogue.h"
#include "common/messages.h"
#include "dib/dib.h"
#include "dib/thumbnail.h"

namespace morvane::web {
namespace {

constexpr int kFaceWidth = 32;
constexpr int kFaceHeight = 64;
constexpr size_t kFaceRgbaBytes = size_t{kFaceWidth} * kFaceHeight * 4;

}  // namespace

void WebInterface::ShowMessage(Error message) {
    // A refused state is the one read aside, not the session's own.
    m_shown.messages.push_back(
        {std::string(MessageText(message)), StateHintText(message, m_session.spare)});
}

void WebInterface::ShowUnreadableRecords(std::span<const int32_t> records) {
    m_shown.messages.push_back(
        {std::string(MessageText(Error::MemoryAllocationFailure)),
         RecordsText(records) + ": " + StateHintText(Error::MemoryAllocationFailure, m_session.image)});
}

void WebInterface::SetStatus(Status status) {
    m_shown.status = std::string(StatusText(status));
}

void AppendRgba(std::span<const uint8_t> bitmap, std::vector<uint8_t>& rgba) {
    const size_t start = rgba.size();
    rgba.resize(start + kFaceRgbaBytes, 0);
    CDib dib;
    if (bitmap.empty() || dib.Read(bitmap) == 0) {
        return;
    }
    const Thumbnail thumbnail = RenderThumbnail(dib, kFaceWidth, kFaceHeight);
    for (size_t p = 0; p * 3 + 2 < thumbnail.rgb.size() && p < kFaceRgbaBytes / 4; ++p) {
        uint8_t* pixel = rgba.data() + start + p * 4;
        pixel[0] = thumbnail.rgb[p * 3];
        pixel[1] = thumbnail.rgb[p * 3 + 1];
        pixel[2] = thumbnail.rgb[p * 3 + 2];
        pixel[3] = 255;
    }
}

void WriteRefusal(JsonWriter& writer, Error error, const std::string& hint,
                  const RefusalDetail& detail) {
    writer.BeginObject()
        .Key("code")
        .Number(static_cast<int>(error))
        .Key("text")
        .String(RefusalText(error, detail))
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

void WriteFaces(JsonWriter& writer, WebSession& web) {
    const Session& session = web.session;
    const std::vector<int32_t> changed = ChangedFaces(session);
    web.bytes.clear();
    web.bytes.reserve(session.faces.size() * kFaceRgbaBytes);
    writer.Key("faces").BeginArray();
    for (const ShownFace& face : session.faces) {
        const TextureRecord& record = session.catalogue.records[static_cast<size_t>(face.record)];
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
            .String(PictureName(face.record, "png"))
            .Key("drawn")
            .Bool(!face.bitmap.empty())
            .Key("readable")
            .Bool(ExtentIsReadable(session.image, session.catalogue, face.record))
            .Key("changed")
            .Bool(std::find(changed.begin(), changed.end(), face.record) != changed.end())
            .EndObject();
        AppendRgba(face.bitmap, web.bytes);
    }
    writer.EndArray();
}

void WriteState(JsonWriter& writer, const WebSession& web) {
    const Session& session = web.session;
    const int32_t shown = session.catalogue.shownCount;
    writer.Key("name")
        .String(session.statePath.filename().string())
        .Key("format")
        .String(StateFormatText(session.image))
        .Key("release")
        .String(session.release == Release::Ntsc ? "NTSC" : "PAL")
        .Key("shown")
        .Number(shown)
        .Key("extracted")
        .String(shown > 0 ? ExtractedText(shown) : std::string(NoTexturesFoundText()))
        .Key("output")
        .String(session.OutputStatePath.filename().string());
}

const char* Finish(WebSession& web, JsonWriter& writer) {
    web.json = writer.EndObject().text();
    return web.json.c_str();
}

const char* Refused(WebSession& web, Error error, const std::string& hint,
                    const RefusalDetail& detail) {
    JsonWriter writer;
    writer.BeginObject().Key("refusal");
    WriteRefusal(writer, error, hint, detail);
    web.bytes.clear();
    return Finish(web, writer);
}

void Refresh(WebSession& web) {
    Shown ignored;
    WebInterface ui(web.session, ignored);
    ExtractTextures(web.session, ui);
}

}  // namespace morvane::web

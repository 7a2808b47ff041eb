#pragma once
// What the browser module's calls share: the session a page holds, and how
// each call writes its answer. An answer is one JSON object; the bytes a call
// made (a new state, a PNG, faces' pixels) go beside it into the session.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "catalogue/picture_import.h"
#include "catalogue/session.h"
#include "catalogue/user_interface.h"
#include "common/json.h"

// One page's session: the core's, and what the last call answered and made.
struct WebSession {
    morvane::Session session;  // the core's
    bool open = false;                             // a state has been accepted
    std::string json;                              // the last call's answer
    std::vector<uint8_t> bytes;                    // and what it made
    std::vector<morvane::NamedPicture> importing;  // the pictures of an import, as added
    // The first zip of the import that was refused as a whole, and why.
    struct {
        morvane::Error error = morvane::Error::None;
        morvane::RefusalDetail detail;
    } importRefusal;
};

namespace morvane::web {

// What an open or a pass showed the user, kept for the answer.
struct Shown {
    struct Message {
        std::string text;
        std::string details;
    };
    std::vector<Message> messages;
    std::string status;
};

// Collects what the core shows, with each refusal's hint, into `shown`.
class WebInterface final : public UserInterface {
public:
    WebInterface(const Session& session, Shown& shown) : m_session(session), m_shown(shown) {}

    void ShowMessage(Error message) override;
    void ShowUnreadableRecords(std::span<const int32_t> records) override;
    void SetStatus(Status status) override;
    void RebuildGallery(std::span<const ShownFace>) override {}

private:
    const Session& m_session;
    Shown& m_shown;
};

// A face's bitmap drawn as 32x64 RGBA, top row first, appended to `rgba`;
// transparent when it has none (a face too short for a picture, or unreadable).
void AppendRgba(std::span<const uint8_t> bitmap, std::vector<uint8_t>& rgba);

// {"code", "text": the core's words, "hint": what to do}; the words name what
// `detail` names, when it does.
void WriteRefusal(JsonWriter& writer, Error error, const std::string& hint,
                  const RefusalDetail& detail = {});
// "messages": [{text, details}]
void WriteMessages(JsonWriter& writer, const Shown& shown);
// "faces": [{record, identifier, address, size, name, drawn, readable,
// changed}], with their pixels into the session's bytes in the same order.
void WriteFaces(JsonWriter& writer, WebSession& web);
// "name", "format", "release", "shown", "extracted", "output".
void WriteState(JsonWriter& writer, const WebSession& web);

// Ends the answer and keeps it in the session: what a call returns.
const char* Finish(WebSession& web, JsonWriter& writer);
// The answer {"refusal": ...}, with no bytes.
const char* Refused(WebSession& web, Error error, const std::string& hint,
                    const RefusalDetail& detail = {});

// The extraction pass again, after the image changed: what it says was
// shown when the state was opened, and is not repeated.
void Refresh(WebSession& web);

}  // namespace morvane::web

#include "cli/commands.h"

#include <cstdio>
#include <memory>

#include "common/json.h"
#include "cli/messages.h"

namespace morvane::cli {

int Info(const std::string& path, bool json, std::ostream& out, std::ostream& err) {
    CliUi ui(err, path);
    CatalogueResult result;
    const std::unique_ptr<Session> session = LoadCatalogued(path, ui, err, result);
    if (!session) {
        return 1;
    }
    int faces = 0;
    for (uint32_t i = 0; i < result.recordCount; ++i) {
        faces += IsFaceTexture(session->catalogue.entries[i]) ? 1 : 0;
    }
    if (json) {
        JsonWriter writer;
        writer.BeginObject()
            .Key("format")
            .String(StateFormatText(session->image))
            .Key("release")
            .String(result.release == Release::Ntsc ? "NTSC" : "PAL")
            .Key("textures")
            .Number(result.recordCount)
            .Key("table_entries")
            .Number(result.tableEntries)
            .Key("face_textures")
            .Number(faces)
            .EndObject();
        out << writer.text() << "\n";
        return 0;
    }
    out << "format: " << StateFormatText(session->image) << "\n";
    out << ui.status() << "\n";
    out << "textures: " << result.recordCount;
    if (result.tableEntries > result.recordCount) {
        out << " (the table lists " << result.tableEntries << "; only the first "
            << result.recordCount << " are read)";
    }
    out << "\n";
    out << "face textures: " << faces << "\n";
    return 0;
}

int List(const std::string& path, bool json, std::ostream& out, std::ostream& err) {
    CliUi ui(err, path);
    CatalogueResult result;
    const std::unique_ptr<Session> session = LoadCatalogued(path, ui, err, result);
    if (!session) {
        return 1;
    }
    JsonWriter writer;
    writer.BeginObject().Key("face_textures").BeginArray();
    if (!json) {
        out << "record\tidentifier\taddress\tsize\n";
    }
    for (uint32_t i = 0; i < result.recordCount; ++i) {
        const TextureRecord& record = session->catalogue.records[i];
        if (!IsFaceTexture(record.entry)) {
            continue;
        }
        if (json) {
            writer.BeginObject()
                .Key("record")
                .Number(i)
                .Key("identifier")
                .Number(record.entry.identifier)
                .Key("address")
                .Number(record.entry.address)
                .Key("size")
                .Number(record.size)
                .EndObject();
            continue;
        }
        char line[64];
        std::snprintf(line, sizeof line, "%u\t0x%04X\t0x%08X\t%u\n", i, record.entry.identifier,
                      record.entry.address, record.size);
        out << line;
    }
    if (json) {
        writer.EndArray().EndObject();
        out << writer.text() << "\n";
    }
    return 0;
}

}  // namespace morvane::cli

#pragma once
// Everything one front end holds for the state it has opened: the image, the
// catalogue of its textures, the faces the last extraction pass showed and
// the path that replacements are written to.

#include <array>
#include <filesystem>
#include <span>
#include <vector>

#include "catalogue/texture_catalogue.h"
#include "common/error.h"
#include "savestate/save_state_image.h"

namespace morvane {

// A face changed since the state was opened, with its bytes as opened.
struct FaceChange {
    int32_t record = 0;
    std::array<uint8_t, kFaceTextureBytes> opened{};
};

struct Session {
    SaveStateImage image;
    SaveStateImage spare;  // the state opened before, its buffers kept for the next
    TextureCatalogue catalogue;
    Release release = Release::Ntsc;  // the opened state's, once one is accepted
    std::vector<ShownFace> faces;     // ShownList's records with their bitmaps
    std::vector<FaceChange> changes;  // every face written to since the open, by record
    std::filesystem::path statePath;  // the file the image was opened from
    std::filesystem::path OutputStatePath;
};

// session_changes.cpp: what this session changed, for front ends to show and
// undo. A face counts as changed while its bytes differ from the state as
// opened; one put back by hand, or replaced by what it was, is not.

// Notes the face's bytes as they stand before its first change since the
// open. Called before every write of a face into the image.
void NoteFaceChange(Session& session, int32_t record);

// The records of the faces whose bytes now differ from the state as opened,
// ascending.
std::vector<int32_t> ChangedFaces(const Session& session);

// The face's bytes as the state was opened: a change's, else the bytes as
// they stand. Empty when its extent cannot be read.
std::span<const uint8_t> OpenedFaceBytes(const Session& session, int32_t record);

// Puts the face back as it was opened, in memory only. NoFaceTexture for a
// record that is no shown face, MemoryAllocationFailure for an extent that
// cannot be written.
Error RevertFaceBytes(Session& session, int32_t record);

}  // namespace morvane

// The import process's side of a model: the file read, through the OBJ reader or the importer, and sent as records.
#pragma once

#include <functional>
#include <string>

namespace Assimp {
class IOSystem;
}

namespace import {

struct ImportProgress;

// Reads `path` and writes the records of ModelTransfer.h to `fd`, keeping
// `progress` up to date and telling `onRead` the bytes of every file it
// opens (as they lie on disk). The model's files come from `files` (taken
// over) when given, from the disk otherwise. Returns when all is sent.
void sendModel(const std::string& path, int fd, ImportProgress* progress,
               const std::function<void(unsigned long long)>& onRead, Assimp::IOSystem* files = nullptr);

} // namespace import

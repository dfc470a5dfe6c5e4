#pragma once
// Where the show finds its data archive: in the working folder first, as it
// always has; when it is not there, beside the executable; then in the
// installed data folder, found relative to the executable (so an unpacked or
// moved installation works) and at the folder the build was configured for.

#include <string>
#include <vector>

// The places to look for the archive `name`, in order: `name` itself
// (relative, so the working folder), then `name` in each of `folders`.
std::vector<std::string> archiveCandidates(const std::string& name,
                                           const std::vector<std::string>& folders);

// The first candidate that is a readable file; `name` itself when none is,
// so that opening it fails with the usual message naming it.
std::string firstReadable(const std::vector<std::string>& candidates, const std::string& name);

// The folder holding the running executable; empty when it cannot be told.
std::string executableFolder();

// The folders after the working one for this executable: its own folder,
// its ../share/tidewane, and the configured data folder.
std::vector<std::string> dataFolders();

// The archive the show opens: firstReadable(archiveCandidates(name,
// dataFolders()), name).
std::string locateArchive(const std::string& name = "tidewane.velk");

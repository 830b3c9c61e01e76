// Output written under a temporary name beside its final one, which it takes only once
// complete: a failure or a stop leaves an earlier file of the final name as it was. For
// the engine's programs; each removes what it left in its own way.
#pragma once

#include <filesystem>
#include <functional>
#include <string_view>
#include <system_error>

namespace vortax {

inline constexpr std::string_view PartSuffix = ".part";

// Finds a free temporary name in `folder`: `prefix`, the process number, a count and
// PartSuffix, short enough to fit wherever the final name does. Each name is made there,
// to be sure that it is free and that the folder takes files, then removed for the writer
// to make: ext4 writes out a file emptied on opening as it closes, and every output would
// wait on the disk. `naming` sees each name before its file is made, for a signal handler
// to find. 0, or the errno that stopped it.
int ClaimPartName(const std::filesystem::path& folder, std::string_view prefix, std::filesystem::path& path,
                  const std::function<void(const std::filesystem::path&)>& naming = {});

// Gives the complete file its final name in one step, over an earlier file of that name.
std::error_code CompletePart(const std::filesystem::path& part, const std::filesystem::path& target);

}  // namespace vortax

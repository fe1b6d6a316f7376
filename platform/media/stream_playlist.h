// The Windows Media playlists an address may name: XML ASX files and ASF reference files.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orbiq::platform {

// The addresses a Windows Media playlist lists, in document order, resolved against base (the
// playlist's own URL or absolute local path), UTF-8; nullopt when bytes are not such a playlist.
// ASX: every <ref href> in document order (the <asx> element in any letter case); ASF
// reference: the Ref<n>= lines of "[Reference]". The text may be UTF-8 or GBK.
std::optional<std::vector<std::string>> ParseWindowsMediaPlaylist(std::string_view bytes, const std::string& base);

}  // namespace orbiq::platform

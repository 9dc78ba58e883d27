#pragma once
// Where the game's screenshots and clips go and what they are called.
// Pure, but for captureFolder(), which reads the environment and a file.
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

namespace vonkel {

// The user's pictures folder from the text of XDG's user-dirs.dirs
// (XDG_PICTURES_DIR="$HOME/Pictures"), else $HOME/Pictures.
std::string picturesFolderFrom(std::string_view userDirs, std::string_view home);

// `--capture-dir`, or the pictures folder's vonkel/ subfolder.
std::string captureFolder(const std::string& chosen);

// "vonkel-20261209-193000-song-1234567.png": the local date and time and the
// song's number; `attempt` 2, 3, ... adds "-2", "-3" before the extension
// when a file of the plain name exists already.
std::string captureName(const std::tm& local, uint32_t songNumber, std::string_view extension, int attempt = 1);

}  // namespace vonkel

// The frames a user saves with the screenshot key, numbered in the folder the viewer was started in.
#pragma once

#include <string>

// Saves the last frame as a PNG picture: the picture target's, where the
// renderer draws into one, else the window's back buffer. False, with the
// reason in `reason` when given, when it cannot be written.
bool saveWindowPicture(const std::string& path, std::string* reason = nullptr);


class Screenshots {
public:
    explicit Screenshots(std::string folder) : folder(std::move(folder)) {}

    // Asks for the frame being drawn; it is saved once drawn, before it is shown.
    void want() { wanted = true; }

    // Whether the frame being drawn is to be saved.
    bool pending() const { return wanted; }

    // Saves the frame just drawn as brassfern-0001.png, or the next number
    // free in the folder, if one was asked for; says where, or why not.
    void saveIfWanted();

private:
    std::string folder;
    bool wanted = false;
};

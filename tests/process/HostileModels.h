// Model files made to crash, hang or flood the viewer, and special files in place of its inputs, with what a run
// of each must end with: shared by the tests that open them in a picture and as a thumbnail.
#pragma once

#include "Sandbox.h"

#include <functional>
#include <ostream>
#include <string>
#include <vector>

struct HostileCase {
    const char* name;
    // Writes the files and returns the model's path in the sandbox.
    std::function<std::string(const Sandbox&)> make;
    int status;
    std::string out; // exact standard output; "MODEL" stands for the model's path
    std::string err; // a part of standard error
    std::vector<std::string> env = {};
};

void PrintTo(const HostileCase& c, std::ostream* os);

// Every case, in the order the picture test runs them.
const std::vector<HostileCase>& hostileCases();

// The case named `name`; the test fails where there is none.
const HostileCase& hostileCase(const std::string& name);

// "MODEL" stands for the model's path, "ROOT" for the folder it is in.
std::string replaced(std::string text, const Sandbox& sandbox, const std::string& model);

// The lesson drawings of the demo: short functions in the style a pupil would copy.
#pragma once

#include <kritzelwerk/Turtle.h>

#include <string>
#include <vector>

namespace lessons {

struct Lesson {
    std::string name; // shown in the demo's choice
    std::string file; // file name stem when rendered to files
    void (*draw)(kritzel::TTurtle& t);
};

const std::vector<Lesson>& All();

// Runs a lesson until it ends or is broken off.
void Run(const Lesson& lesson, kritzel::TTurtle& t);
// Breaks off the running lesson, as Escape does.
void Stop();

} // namespace lessons

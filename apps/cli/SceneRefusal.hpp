#pragma once
// LoadScene for a program that says, in one line of its own, why a scene file
// was refused. The reader prints its progress and its "ERROR: " line on
// standard output and answers false; the line is picked up on its way there,
// unchanged.

#include <string>

#include "pelto/Image.hpp"
#include "scene/Scene.hpp"

// LoadScene(fileName, scene, frame). On false, reason holds why, naming the
// file: the reader's "ERROR: " line without that prefix, or, when the reader
// said nothing, that the file does not begin with "KZO".
bool kzoLoadSceneOrReason(const std::string& fileName, kzoScene& scene, const peltoImage& frame,
                          std::string& reason);

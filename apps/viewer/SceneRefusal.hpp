#pragma once
// LoadScene for a program that says, in one line of its own, why a scene file
// was refused. The reader prints its progress and its "ERROR: " line on
// standard output and reports the refusal as a value; this is the programs'
// end of it.

#include <string>

#include "pelto/base/Image.hpp"
#include "scene/Scene.hpp"

// LoadScene(fileName, scene, frame). A file or texture that cannot be read
// ends the program (peltoStopWith: peltoIoError, or FatalError with the image loader's
// message, after the paths tried when that message does not name them). On a
// malformed file false, and reason holds why,
// naming the file: the reader's "ERROR: " line without that prefix, or, when
// the reader said nothing, that the file does not begin with "KZO".
bool kzoLoadSceneOrReason(const std::string& fileName, kzoScene& scene, const peltoImage& frame,
                          std::string& reason);

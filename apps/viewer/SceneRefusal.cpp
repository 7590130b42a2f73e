#include "apps/viewer/SceneRefusal.hpp"

#include "fileio/FileImport.hpp"
#include "pelto/base/Log.hpp"

bool kzoLoadSceneOrReason(const std::string& fileName, kzoScene& scene, const peltoImage& frame,
                          std::string& reason)
{
    const kzoSceneLoad loaded = LoadScene(fileName, scene, frame);
    if (loaded)
        return true;
    if (loaded.fault != kzoSceneFault::Malformed)
        peltoStopWith(*loaded.failure);
    reason = loaded.failure->message;
    return false;
}

#include "studypane/StudyPaneEnvironment.h"

#include "library/SourceManager.h"
#include "panes/layout/LayoutManager.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"

StudyPaneEnvironment StudyPaneEnvironment::application()
{
    StudyPaneEnvironment env;
    env.center = &NotificationCenter::defaultCenter();
    env.defaults = &UserDefaults::standardUserDefaults();
    env.layoutManager = &LayoutManager::sharedLayoutManager();
    env.library = &SourceManager::singleton();
    return env;
}

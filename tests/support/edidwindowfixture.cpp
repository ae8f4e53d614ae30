#include "edidwindowfixture.h"
#include "endpoints.h"
#include "resources.h"

void EdidWindowTest::initTestCase()
{
    initPlexaResources();
    Endpoints::setServer(QStringLiteral("http://127.0.0.1:9"));
    scope.reset(new ScriptedDialogs::Scope(dialogs));
}

void EdidWindowTest::cleanupTestCase()
{
    Endpoints::setServer(QString());
}

void EdidWindowTest::init()
{
    dialogs.clear();
}

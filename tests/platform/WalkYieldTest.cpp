// The walk lets pending window events run once per folder it visits, once per sub-folder it reads
// and once per folder it is about to return.
#include "FolderTestHelpers.h"

#include "RecordingDialogs.h"
#include "TestPaths.h"

#include "platform/FileSystem.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

#include <gtest/gtest.h>

namespace {

// Counts the passes of the event loop: each delivery posts the next event, which Qt holds back
// until the following pass.
class PassCounter : public QObject {
public:
    int passes = 0;

    void start() { QCoreApplication::postEvent(this, new QEvent(QEvent::User)); }

protected:
    bool event(QEvent* e) override
    {
        if (e->type() != QEvent::User)
            return QObject::event(e);
        ++passes;
        start();
        return true;
    }
};

} // namespace

TEST(WalkYield, OncePerFolderVisitedPerSubFolderReadAndPerCandidate)
{
    const auto root = testsupport::freshFolder("walk-yield");
    testsupport::makeTree(root, {"a/b/c/", "a/d/", "e/", "e/file.db"});
    testsupport::RecordingDialogs dialogs;

    PassCounter counter;
    counter.start();
    std::vector<std::string> folders{root.string() + "/"};
    platform::GetSubDirectories2016(folders, true, dialogs);
    EXPECT_EQ(folders.size(), 6u);
    // Six folders visited, five sub-folder names read (a, e, b, d, c), and the candidates of each
    // level before they are appended: c; then b, d, c; then a, e, b, d, c.
    EXPECT_EQ(counter.passes, 6 + 5 + 9);

    counter.passes = 0;
    folders = {root.string() + "/"};
    platform::GetSubDirectories2016(folders, false, dialogs);
    EXPECT_EQ(counter.passes, 1 + 2 + 2);
    QCoreApplication::removePostedEvents(&counter);
}

#pragma once
// The fixture of the main window's tests on a fresh book: settings that
// point into the book's folder, the icon module, a message recorder, entries
// put straight into the book, and the window opened the way start-up does.

#include <gtest/gtest.h>

#include <QTest>
#include <memory>
#include <string>

#include "BookTest.h"
#include "DirectoryWindowProbe.h"
#include "TestSupport.h"
#include "uDBDirectory.h"
#include "uDesktop.h"
#include "uGlobals.h"
#include "udmRes.h"
#include "ufDirectory.h"
#include "ufRVHelp.h"

class TWindowBookTest : public TBookTest {
 protected:
  void SetUp() override {
    ResetGlobals();
    ComputeLocations(Book.Dir().File("zorvana-directory"));
    Globals().DBFile = Book.Path();
    Globals().IsFirstStart = false;
    TBookTest::SetUp();
    dmRes = &Res;
  }

  void TearDown() override {
    SetFileChooser(nullptr);
    Window.reset();
    TfRVHelp::DestroyHelp();
    dmRes = nullptr;
    TBookTest::TearDown();
    ResetGlobals();
  }

  // Stores an entry below parent (0: the top level) under the next id.
  int32_t Put(int32_t parent, const std::string& title, bool folder, int32_t position,
              const std::string& description = "") {
    TDirectory entry;
    entry.Id = ++LastId;
    entry.IdParent = parent;
    entry.Title = title;
    entry.IsFolder = folder;
    entry.OrderPosition = position;
    entry.Description = description;
    EXPECT_TRUE(TDBDirectorySaveCmd::Run(&entry)) << title;
    return entry.Id;
  }

  // The window as start-up makes it, shown, with the list in the focus.
  void Open() {
    Window = std::make_unique<TfDirectory>(dmDB);
    Window->ShowDirectory();
    Window->show();
    Window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Window.get()));
    Probe().List()->setFocus();
  }

  TDirectoryWindowProbe Probe() const { return TDirectoryWindowProbe(*Window); }

  // The title of the list's focused entry; "<нет>" for none.
  std::string FocusedInList() const {
    const TDirectory* entry = TVTV::GetFocusedObject(Probe().List());
    return entry ? entry->Title : "<нет>";
  }

  void Focus(const std::string& title) {
    TVirtualList* list = Probe().List();
    for (int row = 0; row < list->RowCount(); ++row) {
      if (list->NodeObject(row)->Title == title) {
        TVTV::SelectNode(list, row);
        return;
      }
    }
    ADD_FAILURE() << "no row " << title;
  }

  int32_t LastId = 0;
  TdmRes Res;
  TMessageRecorder Messages;
  std::unique_ptr<TfDirectory> Window;
};

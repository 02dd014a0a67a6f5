// What a test of the main dialog sets up around the dialog it makes: the
// paths of a demo tree, no start-up pauses, recorded boxes; and afterwards
// the threads and ways the dialog started, stopped and deleted.
#pragma once

#include <memory>

#include "app/main_dialog.h"

class TempFolder;

// Before the dialog is created: false when the demo tree's paths cannot be built.
bool BeginMainDialogTest(const TempFolder& tree);
// Stops what the dialog's start-up created, before the dialog goes.
void StopMainDialogThreads();
// After the dialog went.
void EndMainDialogTest();

template <typename Dialog>
void FinishMainDialogTest(std::unique_ptr<Dialog>& dialog) {
  StopMainDialogThreads();
  dialog.reset();
  EndMainDialogTest();
}

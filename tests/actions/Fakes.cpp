// The fakes are header-only for the action tests that use them; this keeps every one of them
// compiled with the suite even before a test includes it.
#include "FakeActionContext.h"
#include "FakeAudioOutput.h"
#include "FakeDisplayBrightness.h"
#include "FakeInputPoster.h"
#include "FakeNowPlaying.h"
#include "FakeScriptRunner.h"
#include "FakeWorkspace.h"

#include <gtest/gtest.h>

#include "ui/dialog_requests.h"

// A second OK while the first is at work (its create-failure box is up), or
// after it has started the installer, starts nothing; neither does a Cancel.
TEST(DialogRequests, ASecondOkOrACancelDuringTheOkCommandDoesNothing) {
    EXPECT_EQ(requestEffect(DialogPhase::choosing, DialogRequest::ok, false),
              RequestEffect::confirm);
    EXPECT_EQ(requestEffect(DialogPhase::choosing, DialogRequest::cancel, false),
              RequestEffect::cancel);
    EXPECT_EQ(requestEffect(DialogPhase::confirming, DialogRequest::ok, false),
              RequestEffect::ignore);
    EXPECT_EQ(requestEffect(DialogPhase::confirming, DialogRequest::cancel, false),
              RequestEffect::ignore);
    for (bool running : {true, false}) {
        EXPECT_EQ(requestEffect(DialogPhase::waiting, DialogRequest::ok, running),
                  RequestEffect::ignore);
        EXPECT_EQ(requestEffect(DialogPhase::waiting, DialogRequest::cancel, running),
                  RequestEffect::ignore);
    }
    EXPECT_EQ(requestEffect(DialogPhase::ending, DialogRequest::ok, false), RequestEffect::ignore);
}

TEST(DialogRequests, NothingButTheInstallersEndClosesWhileItRuns) {
    EXPECT_EQ(requestEffect(DialogPhase::waiting, DialogRequest::close, true),
              RequestEffect::ignore);
    EXPECT_EQ(requestEffect(DialogPhase::waiting, DialogRequest::close, false),
              RequestEffect::close);
    // While the OK command is at work a close request waits for its end;
    // the OK command's own end, and a close before or after, close.
    EXPECT_EQ(requestEffect(DialogPhase::confirming, DialogRequest::close, false),
              RequestEffect::ignore);
    EXPECT_EQ(requestEffect(DialogPhase::choosing, DialogRequest::close, false),
              RequestEffect::close);
    EXPECT_EQ(requestEffect(DialogPhase::ending, DialogRequest::close, false),
              RequestEffect::close);
}

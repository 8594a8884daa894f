#include "ui/dialog_requests.h"

RequestEffect requestEffect(DialogPhase phase, DialogRequest request, bool installerRunning) {
    switch (request) {
    case DialogRequest::ok:
        return phase == DialogPhase::choosing ? RequestEffect::confirm : RequestEffect::ignore;
    case DialogRequest::cancel:
        // An OK at work carries on: it ends the setup itself when it fails.
        return phase == DialogPhase::choosing ? RequestEffect::cancel : RequestEffect::ignore;
    case DialogRequest::close:
        if (phase == DialogPhase::confirming)
            return RequestEffect::ignore;
        if (phase == DialogPhase::waiting && installerRunning)
            return RequestEffect::ignore;
        return RequestEffect::close;
    }
    return RequestEffect::ignore;
}

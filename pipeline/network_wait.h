#pragma once
// The connection test and the bounded wait for a lost connection that the start-up check and the
// download phase share.
#include "pipeline/installer_window.h"

// What WinINet says: a connection when the system has one (under Wine: a default route).
bool IsInternetConnected();

// Shows Checking and waits, with random pauses of 0.5 to 5 s, until a connection is reported,
// then lets it settle for 2 s: true. False once more than 600 s have passed without one. With
// `logAttempts`, each pause is logged as "Retry: <n>" counting from 0.
bool NetworkWait(InstallerWindow& window, bool logAttempts);

// The pause before the next look (ms) for a draw of rand(): 500 to 5000.
DWORD NetworkWaitPause(int draw);

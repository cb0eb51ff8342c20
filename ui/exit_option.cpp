#include "ui/exit_option.h"

#include "res/resource.h"

CExitOption::CExitOption(HWND owner)
    : CQuestionDialog(owner, IDS_EXIT_QUESTION, RECT{101, 141, 101 + 338, 141 + 60}, IDS_CANCEL,
                      IDS_RESUME) {}

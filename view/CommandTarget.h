#pragma once
#include "CommandState.h"

// Something commands are offered to. With a state, the call asks for the
// command's enable rule; without, it runs the handler. Either way the result
// says whether this target handles the command at all.
class CommandTarget {
public:
    virtual ~CommandTarget() = default;
    virtual bool OnCmdMsg(int id, CommandState* state) = 0;
};

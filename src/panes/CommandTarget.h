#pragma once

// How a menu item, tool-bar button or key looks right now.
struct CommandState
{
    bool enabled = true;
    bool checked = false;
};

// A window that takes commands. A command goes to the focused list or tree first, then to its
// pane, the splitter and the frame; the first that takes it handles it. A command nobody takes is
// greyed.
class CommandTarget
{
public:
    virtual ~CommandTarget() = default;
    // Runs the command; false when this window does not take it.
    virtual bool handleCommand(int id) = 0;
    // Fills in the look of the command; false when this window does not take it.
    virtual bool commandState(int id, CommandState &state) = 0;
};

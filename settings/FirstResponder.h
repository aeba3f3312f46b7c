#pragma once
// Which recorder holds the settings window's keyboard focus, and the order in
// which the focus moves between them.

namespace dimwell {

class NSMyTextField;

class FirstResponder {
public:
    NSMyTextField* current() const { return current_; }

    /// Gives the focus to `responder` (nothing: the window itself). The old
    /// recorder is gone before it resigns, so a resign that asks for the focus
    /// again does not find it still in place. False when nothing moved.
    bool make(NSMyTextField* responder);

    /// The focus already went elsewhere (another control or window): the
    /// recorder only resigns.
    void lost();

private:
    NSMyTextField* current_ = nullptr;
};

} // namespace dimwell

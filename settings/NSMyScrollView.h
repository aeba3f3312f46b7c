#pragma once
// The frame around a recorder, and the plain view that takes the keyboard focus
// when no recorder should have it.

namespace dimwell {

class NSMyTextField;
class ScrollFrame;

class NSMyScrollView {
public:
    /// A new frame is a bezel; the settings window later makes it a plain line.
    static void init(ScrollFrame& frame);
    /// The focus ring marks the recorder that records: only in the key window,
    /// and only around the frame whose recorder is the first responder.
    static bool drawsFocusRing(bool windowIsKey, const NSMyTextField* firstResponder,
                               const NSMyTextField& documentView) {
        return windowIsKey && firstResponder == &documentView;
    }
};

class NSMyView {
public:
    static constexpr bool acceptsFirstResponder() { return true; }
};

} // namespace dimwell

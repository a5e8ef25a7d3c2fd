#pragma once

// The plain timer that the long-interval counter chains: it elapses once per period of its
// interval while it is enabled, and an interval of 0 (or below) never elapses. Writing either
// value starts the current period afresh.
class InnerTimer {
public:
    virtual ~InnerTimer() = default;
    virtual int interval() const = 0;
    virtual void setInterval(int ms) = 0;
    virtual bool isEnabled() const = 0;
    virtual void setEnabled(bool on) = 0;
};

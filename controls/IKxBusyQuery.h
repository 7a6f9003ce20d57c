#pragma once
// What a button control asks before it sends anything: is the connected reader busy? The
// connection layer installs an implementation once; without one the reader counts as idle.
class IKxBusyQuery
{
public:
    virtual ~IKxBusyQuery() = default;
    virtual bool isDeviceBusy() const = 0;
};

// Frees large structures away from the caller's thread: releasing a table of 100,000 rows
// must not hold up a client switching folders. Only plain memory is handed over (no
// callbacks, no Qt objects, no files); what is pending is freed before the library goes.
#pragma once

#include <memory>

namespace vntmapi {

class Disposal
{
public:
    virtual ~Disposal() = default;
};

void disposeInBackground(std::unique_ptr<Disposal> disposal);

// Destroys `value` on the library's disposal thread.
template<typename T>
void disposeLater(T value)
{
    struct Holder : Disposal
    {
        explicit Holder(T held)
            : value(std::move(held))
        {}
        T value;
    };
    disposeInBackground(std::make_unique<Holder>(std::move(value)));
}

} // namespace vntmapi

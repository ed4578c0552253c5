#include "bndtools.hpp"

Outcome show(const Plan& plan, const Observer& observer)
{
    for (const Step& step : plan.steps) {
        if (Outcome f = tell_all(step.told, observer))
            return f;
        if (step.what != Do::write && step.what != Do::write_and_name)
            continue;
        for (const Part& part : plan.outputs[static_cast<std::size_t>(step.output)].parts)
            if (Outcome f = tell_all(part.told, observer))
                return f;
    }
    return {};
}

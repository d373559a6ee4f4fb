#include "scheduler/duerule.h"

#include "algemeen/datetime.h"

namespace kivo {

namespace {

bool InWindow(std::int64_t slot, std::int64_t now) {
    return slot < now && slot + DueWindowMs > now;
}

} // namespace

DueTask DueTask::From(const TaskRecord& record) {
    DueTask task;
    task.starttijd = record.Starttijd.value_or(0);
    task.frekwentie = record.Frekwentie.value_or(0);
    task.uren = record.Uren.value_or(false);
    task.laatstekeer = record.Laatstekeer;
    return task;
}

DueDecision DecideDue(const DueTask& task, std::int32_t now, std::int32_t today) {
    DueDecision decision;
    decision.starttijd = task.starttijd;
    decision.next = task.starttijd;
    std::int64_t slot = task.starttijd;

    if (!task.uren) {
        const bool heldBack =
            task.laatstekeer &&
            static_cast<std::int64_t>(*task.laatstekeer) + task.frekwentie - 1 >= today;
        decision.start = InWindow(slot, now) && !heldBack;
        return decision;
    }

    const std::int64_t hours = task.frekwentie > 0 ? task.frekwentie : 1;
    const std::int64_t step = hours * HourMs;
    if (task.laatstekeer) {
        const std::int64_t last = *task.laatstekeer;
        const std::int64_t nextDay = last + hours / 24 + (slot < (hours % 24) * HourMs ? 1 : 0);
        if (last <= today && today < nextDay) { // its next slot is on a later day
            decision.laterDay = true;
            return decision;
        }
        if (hours < 24 && slot >= now && nextDay < today && !task.startTimeFromUser) {
            // A slot of an earlier day that was not reached: go on from it through the night.
            std::int64_t t = slot - MSecsPerDay;
            while (t + step < now) t += step;
            if (t >= 0) slot = t;
        }
    }
    while (slot + step < now) slot += step;
    decision.starttijd = static_cast<std::int32_t>(slot);

    if (InWindow(slot, now)) {
        std::int64_t t = slot;
        while (t < now) t += step;
        decision.start = true;
        decision.next = static_cast<std::int32_t>(t % MSecsPerDay);
    }
    return decision;
}

} // namespace kivo

#include "scheduler/duerule.h"

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

    const std::int64_t step = HourlyStep(task.frekwentie);
    const std::int64_t hours = step / HourMs;
    if (task.laatstekeer) {
        const std::int64_t last = *task.laatstekeer;
        const std::int64_t nextDay = last + hours / 24 + (slot < (hours % 24) * HourMs ? 1 : 0);
        if (last <= today && today < nextDay) { // its next slot is on a later day
            decision.laterDay = true;
            return decision;
        }
        if (hours < 24 && slot >= now && nextDay < today && !task.startTimeFromUser) {
            // A slot of an earlier day that was not reached: go on from it through the night.
            const std::int64_t t = CaughtUp(slot - MSecsPerDay, step, now);
            if (t >= 0) slot = t;
        }
    }
    slot = CaughtUp(slot, step, now);
    decision.starttijd = static_cast<std::int32_t>(slot);

    if (InWindow(slot, now)) {
        decision.start = true;
        decision.next = MsOfDay(SlotFrom(slot, step, now));
    }
    return decision;
}

} // namespace kivo

#include "DroneSet.h"

bool DroneSet::operator==(const DroneSet& other) const
{
    if (drones.size() != other.drones.size() || tenorBeat_Hz != other.tenorBeat_Hz)
        return false;
    for (std::size_t k = 0; k < drones.size(); ++k) {
        const Drone& a = drones[k];
        const Drone& b = other.drones[k];
        if (a.kind != b.kind || a.frequency_Hz != b.frequency_Hz || a.level_dBFS != b.level_dBFS)
            return false;
    }
    return true;
}

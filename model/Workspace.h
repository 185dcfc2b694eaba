#pragma once

// The project open in the program, as the windows and commands share it: the network the
// file stores, the results of its last calculation and where the user stands in it. Three
// types, each changed by its own kind of work: editing changes the project, calculating the
// results, moving about the session.

#include "model/NetworkResults.h"
#include "model/Project.h"
#include "model/Session.h"

#include <utility>

namespace valmora {

struct Workspace {
    Project project;
    NetworkResults results = NetworkResults::ofNewProject();
    Session session;

    Workspace() = default;
    // A project read or built elsewhere: nothing calculated yet.
    explicit Workspace(Project p) : project(std::move(p)), results() {}
};

} // namespace valmora

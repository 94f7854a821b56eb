#include "base/setup_state.h"

#include "base/text.h"


namespace kavrel {

SetupState::SetupState() = default;
SetupState::~SetupState() = default;

SetupState& CurrentSetup() {
    static SetupState state;
    return state;
}

void SetPackageIdentity(SetupState& state, const PackageIdentity& identity) {
    state.packageTitle = identity.packageTitle;
    state.packageBaseName = identity.packageBaseName;
    state.packageVersion = identity.packageVersion;
}

std::string RunIdentityStep(SetupState& state) {
    std::string packageFileName = state.packageBaseName + "." + state.resourceType;
    state.packageVersionText = std::to_string(state.packageVersion);
    state.appName = "Kavrel";
    state.titleRu = "Обновление Lexova";
    state.titleEn = "Lexova update";
    state.packageCaption = state.packageTitle + std::to_string(state.packageVersion);
    return packageFileName;
}

}  // namespace kavrel

// What a model given by path is shown in, as chosen by eye: the backdrop's colours and where its sun stands. Both the
// drawing of the stage and the light it gives the model read them here.
#pragma once

#include <glm/glm.hpp>

namespace render {

// The backdrop's colours at the top and the bottom of the view, as display
// values (the light of the surroundings takes them as the linear radiance
// the tone curve shows as these): light enough that a dark model or a silhouette reads against
// it, and far below the radiance where the bloom starts, so that no part of
// it glows.
inline const glm::vec3 backdropTop(0.32f, 0.345f, 0.39f);
inline const glm::vec3 backdropBottom(0.11f, 0.12f, 0.14f);

} // namespace render

// Where the light stands for a model given by path: above and in front of
// the start view, over the viewer's left shoulder, so that the faces a user
// sees first are lit. The built-in scene's light stands behind and to the
// side, which suits the temple and leaves most of a model's front in shade.
inline const glm::vec3 modelLightPosition(-3.0f, 7.0f, 5.0f);

// camera_projection.h: the camera's lens, which every frame of the show is
// drawn through.
//
//   setupCameraProjection(box.x, box.y, box.width, box.height);  // the window's 16:10 box
//
// The timeline's camera pass draws through the projection matrix this leaves;
// where the box lies in the window is the caller's choice.
#pragma once

// Sets the viewport to the box and loads the 93.1-degree perspective for its
// width / height (near 0.01, far 10000) into the projection matrix. Leaves
// GL_MODELVIEW current.
void setupCameraProjection(int x, int y, int width, int height);

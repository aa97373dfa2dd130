// GPU time of each pass of the frame, measured with timer queries.
#pragma once

// Renders `frames` more frames pass by pass and prints the median GPU time
// of the shadow work, the geometry pass, each enabled effect and the final
// quad, in milliseconds.
void printPassTimes(int frames);

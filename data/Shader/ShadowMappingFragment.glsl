#version 330 core
// Depth pass from the light: only the depth buffer is written; the light's
// target has no colour attachment.
void main()
{
}

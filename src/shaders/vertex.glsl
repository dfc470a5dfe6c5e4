// Shared vertex shader of every screen-quad program: the quad's corners are
// already in clip space, and texture coordinate set 0 carries the position
// on the target from (0, 0) at the bottom-left to (1, 1) at the top-right.
void main()
{
    gl_Position = gl_Vertex;
    gl_TexCoord[0] = gl_MultiTexCoord0;
}

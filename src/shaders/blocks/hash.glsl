float hash(float n)
{
    return fract(sin(n) * 43758.5453);
}

// Skeleton of the serial command tool.
int main()
{
    return 0;
}

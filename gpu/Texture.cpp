// Decoding images with DevIL and uploading them with a full mipmap chain.
#include "gpu/Texture.h"

#include "app/Fatal.h"

#include <IL/il.h>
#include <iostream>

Texture::Texture(const std::string& path)
{
    glGenTextures(1, &id);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, id);
    unsigned char* pixels = loadImage(path, width, height);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    glGenerateMipmap(GL_TEXTURE_2D);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    // The GL holds its own copy now; keeping the decoded image would only
    // double the memory of every scene texture.
    ILuint image = static_cast<ILuint>(ilGetInteger(IL_CUR_IMAGE));
    ilDeleteImages(1, &image);
}

unsigned char* Texture::loadImage(const std::string& path, int& width, int& height)
{
    ILuint image = 0;
    ilGenImages(1, &image);
    ilBindImage(image);
    if (!ilLoadImage(path.c_str())) {
        std::cout << "Failed to load texture! - " << path << std::endl;
        std::cout << "Error-code(s):" << std::endl;
        for (ILenum code = ilGetError(); code != IL_NO_ERROR; code = ilGetError())
            std::cout << static_cast<unsigned>(code) << std::endl;
        fatalExit(-1);
    }
    if (!ilConvertImage(IL_RGBA, IL_UNSIGNED_BYTE))
        fatal({"Failed to convert texture!"}, -1);
    width = ilGetInteger(IL_IMAGE_WIDTH);
    height = ilGetInteger(IL_IMAGE_HEIGHT);
    return ilGetData();
}

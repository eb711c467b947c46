<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name>CMeasurePanel</name>
    <message>
        <source>Measured for</source>
        <translation>Время измерения</translation>
    </message>
    <message>
        <source>Loudness</source>
        <translation>Громкость</translation>
    </message>
    <message>
        <source>Integrated</source>
        <translation>Интегральная</translation>
    </message>
    <message>
        <source>Momentary</source>
        <translation>Мгновенная</translation>
    </message>
    <message>
        <source>Short-term</source>
        <translation>Кратковременная</translation>
    </message>
    <message>
        <source>Loudness range</source>
        <translation>Диапазон (LRA)</translation>
    </message>
    <message>
        <source>True peak</source>
        <translation>Истинный пик</translation>
    </message>
    <message>
        <source>Sample peak</source>
        <translation>Пик отсчётов</translation>
    </message>
    <message>
        <source>Signal</source>
        <translation>Сигнал</translation>
    </message>
    <message>
        <source>Clipping</source>
        <translation>Клиппинг</translation>
    </message>
    <message>
        <source>DC offset</source>
        <translation>Постоянная составляющая</translation>
    </message>
    <message>
        <source>Noise floor</source>
        <translation>Уровень шума</translation>
    </message>
    <message>
        <source>Mains hum</source>
        <translation>Сетевой фон</translation>
    </message>
    <message>
        <source>Bandwidth</source>
        <translation>Полоса частот</translation>
    </message>
    <message>
        <source>Silence</source>
        <translation>Тишина</translation>
    </message>
    <message>
        <source>Channels</source>
        <translation>Каналы</translation>
    </message>
    <message>
        <source>Balance L-R</source>
        <translation>Баланс Л-П</translation>
    </message>
    <message>
        <source>Correlation</source>
        <translation>Корреляция</translation>
    </message>
    <message>
        <source>Verdict</source>
        <translation>Заключение</translation>
    </message>
    <message>
        <source>%1 LUFS</source>
        <translation>%1 LUFS</translation>
    </message>
    <message>
        <source>%1 dBTP</source>
        <translation>%1 дБTP</translation>
    </message>
    <message>
        <source>%1 Hz, %2 dBFS</source>
        <translation>%1 Гц, %2 дБFS</translation>
    </message>
    <message>
        <source>%1 (%2 %)</source>
        <translation>%1 (%2 %)</translation>
    </message>
    <message>
        <source>now %1 s</source>
        <translation>сейчас %1 с</translation>
    </message>
    <message>
        <source>longest %1 s</source>
        <translation>самая долгая — %1 с</translation>
    </message>
    <message>
        <source>The preview is stopped</source>
        <translation>Просмотр остановлен</translation>
    </message>
    <message>
        <source>No audio in this stream</source>
        <translation>В потоке нет звука</translation>
    </message>
    <message>
        <source>Measuring...</source>
        <translation>Идёт измерение...</translation>
    </message>
    <message>
        <source>%1 s</source>
        <translation>%1 с</translation>
    </message>
    <message>
        <source>%1 min %2 s</source>
        <translation>%1 мин %2 с</translation>
    </message>
    <message>
        <source>%1 LU</source>
        <translation>%1 LU</translation>
    </message>
    <message>
        <source>%1 dBFS</source>
        <translation>%1 дБFS</translation>
    </message>
    <message>
        <source>none</source>
        <translation>нет</translation>
    </message>
    <message>
        <source>%1 kHz</source>
        <translation>%1 кГц</translation>
    </message>
    <message>
        <source>%1 Hz</source>
        <translation>%1 Гц</translation>
    </message>
    <message>
        <source>%1 dB</source>
        <translation>%1 дБ</translation>
    </message>
    <message>
        <source>No problems found</source>
        <translation>Проблем не найдено</translation>
    </message>
    <message>
        <source>No sound above %1 dBFS for %2 s</source>
        <translation>Нет звука громче %1 дБFS уже %2 с</translation>
    </message>
    <message>
        <source>The sound stopped for %1 s (nothing above %2 dBFS)</source>
        <translation>Звук пропадал на %1 с (ничего громче %2 дБFS)</translation>
    </message>
    <message>
        <source>Clipping: %1 samples at full scale (%2 %)</source>
        <translation>Клиппинг: отсчётов на полной шкале — %1 (%2 %)</translation>
    </message>
    <message>
        <source>The left channel is dead</source>
        <translation>Левый канал молчит</translation>
    </message>
    <message>
        <source>The right channel is dead</source>
        <translation>Правый канал молчит</translation>
    </message>
    <message>
        <source>Too quiet: %1 LUFS integrated</source>
        <translation>Слишком тихо: интегральная громкость %1 LUFS</translation>
    </message>
    <message>
        <source>Too quiet: below the loudness gate</source>
        <translation>Слишком тихо: громкость ниже порога стробирования</translation>
    </message>
    <message>
        <source>Too loud: %1 LUFS integrated</source>
        <translation>Слишком громко: интегральная громкость %1 LUFS</translation>
    </message>
    <message>
        <source>Mains hum at %1 Hz, %2 dBFS</source>
        <translation>Сетевой фон %1 Гц, %2 дБFS</translation>
    </message>
    <message>
        <source>DC offset %1 dBFS</source>
        <translation>Постоянная составляющая %1 дБFS</translation>
    </message>
    <message>
        <source>The channels are in opposite polarity (correlation %1)</source>
        <translation>Каналы в противофазе (корреляция %1)</translation>
    </message>
    <message>
        <source>Narrow band: sound reaches %1 Hz</source>
        <translation>Узкая полоса: звук доходит до %1 Гц</translation>
    </message>
    <message>
        <source>left silent</source>
        <translation>левый молчит</translation>
    </message>
    <message>
        <source>right silent</source>
        <translation>правый молчит</translation>
    </message>
    <message>
        <source>Lip sync</source>
        <translation>Синхронность звука и картинки</translation>
    </message>
    <message>
        <source>Sound after picture</source>
        <translation>Звук позже картинки</translation>
    </message>
    <message>
        <source>Spread</source>
        <translation>Разброс</translation>
    </message>
    <message>
        <source>Flash and beep pairs</source>
        <translation>Пар вспышки и сигнала</translation>
    </message>
    <message>
        <source>%1 ms</source>
        <translation>%1 мс</translation>
    </message>
    <message>
        <source>Lip sync: the sound is %1 ms late</source>
        <translation>Звук отстаёт от картинки на %1 мс</translation>
    </message>
    <message>
        <source>Lip sync: the sound is %1 ms early</source>
        <translation>Звук опережает картинку на %1 мс</translation>
    </message>
</context>
<context>
    <name>ResStr</name>
    <message>
        <source>Error rtsp url!</source>
        <comment>3330</comment>
        <translation>Ошибка RTSP-адреса!</translation>
    </message>
    <message>
        <source>Video is not present!</source>
        <comment>3331</comment>
        <translation>Видеопоток отсутствует!</translation>
    </message>
    <message>
        <source>Audio is not present!</source>
        <comment>3332</comment>
        <translation>Аудиопоток отсутствует!</translation>
    </message>
    <message>
        <source>Video codec is not finded!</source>
        <comment>3333</comment>
        <translation>Видеокодек не найден!</translation>
    </message>
    <message>
        <source>Audio codec is not finded!</source>
        <comment>3334</comment>
        <translation>Аудиокодек не найден!</translation>
    </message>
    <message>
        <source>Codec: [%S]</source>
        <comment>3400</comment>
        <translation>Кодек: [%S]</translation>
    </message>
    <message>
        <source>FPS: [%.01lf]</source>
        <comment>3401</comment>
        <translation>Кадр/с: [%.01lf]</translation>
    </message>
    <message>
        <source>Video size WxH: [%dx%d]</source>
        <comment>3402</comment>
        <translation>Размер кадра ШxВ: [%dx%d]</translation>
    </message>
    <message>
        <source>Format: [%s]</source>
        <comment>3403</comment>
        <translation>Формат: [%s]</translation>
    </message>
    <message>
        <source>Channels: [%s]</source>
        <comment>3404</comment>
        <translation>Каналы: [%s]</translation>
    </message>
    <message>
        <source>Mono</source>
        <comment>3405</comment>
        <translation>Моно</translation>
    </message>
    <message>
        <source>Stereo</source>
        <comment>3406</comment>
        <translation>Стерео</translation>
    </message>
    <message>
        <source>%d channels</source>
        <comment>3407</comment>
        <translation>Каналов: %d</translation>
    </message>
    <message>
        <source>Bitrate: [%d] kbps</source>
        <comment>3408</comment>
        <translation>Битрейт: [%d] кбит/с</translation>
    </message>
    <message>
        <source>Unsigned 8 bits</source>
        <comment>3409</comment>
        <translation>8 бит без знака</translation>
    </message>
    <message>
        <source>Signed 16 bits</source>
        <comment>3410</comment>
        <translation>16 бит со знаком</translation>
    </message>
    <message>
        <source>Signed 32 bits</source>
        <comment>3411</comment>
        <translation>32 бита со знаком</translation>
    </message>
    <message>
        <source>Float</source>
        <comment>3412</comment>
        <translation>С плавающей точкой</translation>
    </message>
    <message>
        <source>Double</source>
        <comment>3413</comment>
        <translation>С плавающей точкой двойной точности</translation>
    </message>
    <message>
        <source>Unsigned 8 bits, planar</source>
        <comment>3414</comment>
        <translation>8 бит без знака, планарный</translation>
    </message>
    <message>
        <source>Signed 16 bits, planar</source>
        <comment>3415</comment>
        <translation>16 бит со знаком, планарный</translation>
    </message>
    <message>
        <source>Signed 32 bits, planar</source>
        <comment>3416</comment>
        <translation>32 бита со знаком, планарный</translation>
    </message>
    <message>
        <source>Float, planar</source>
        <comment>3417</comment>
        <translation>С плавающей точкой, планарный</translation>
    </message>
    <message>
        <source>Double, planar</source>
        <comment>3418</comment>
        <translation>С плавающей точкой двойной точности, планарный</translation>
    </message>
    <message>
        <source>Signed 64 bits</source>
        <comment>3419</comment>
        <translation>64 бита со знаком</translation>
    </message>
    <message>
        <source>Signed 64 bits, planar</source>
        <comment>3420</comment>
        <translation>64 бита со знаком, планарный</translation>
    </message>
    <message>
        <source>Sample rate: [%d]</source>
        <comment>3421</comment>
        <translation>Частота дискретизации: [%d]</translation>
    </message>
    <message>
        <source>Initializes OLE support for the application it has failed !</source>
        <comment>3007</comment>
        <translation>Не удалось инициализировать поддержку OLE для приложения!</translation>
    </message>
    <message>
        <source>This application does not support the Classic Theme Windows !</source>
        <comment>3008</comment>
        <translation>Приложение не поддерживает классическую тему Windows!</translation>
    </message>
    <message>
        <source>Theme Colors</source>
        <comment>3012</comment>
        <translation>Цвета темы</translation>
    </message>
    <message>
        <source>Standard Colors</source>
        <comment>3013</comment>
        <translation>Стандартные цвета</translation>
    </message>
    <message>
        <source>Window function:</source>
        <comment>3014</comment>
        <translation>Оконная функция:</translation>
    </message>
    <message>
        <source>Spectrum bound:</source>
        <comment>3015</comment>
        <translation>Нижняя граница спектра:</translation>
    </message>
    <message>
        <source>Select wave scale(10 msec by pixel):</source>
        <comment>3016</comment>
        <translation>Масштаб осциллограммы (10 мс на пиксель):</translation>
    </message>
    <message>
        <source>Rectangular</source>
        <comment>3017</comment>
        <translation>Прямоугольное</translation>
    </message>
    <message>
        <source>Bartlett</source>
        <comment>3018</comment>
        <translation>Бартлетта</translation>
    </message>
    <message>
        <source>Hamming</source>
        <comment>3019</comment>
        <translation>Хэмминга</translation>
    </message>
    <message>
        <source>Hanning</source>
        <comment>3020</comment>
        <translation>Ханна</translation>
    </message>
    <message>
        <source>Blackman</source>
        <comment>3021</comment>
        <translation>Блэкмана</translation>
    </message>
    <message>
        <source>Blackman-Harris</source>
        <comment>3022</comment>
        <translation>Блэкмана — Харриса</translation>
    </message>
    <message>
        <source>Welch</source>
        <comment>3023</comment>
        <translation>Уэлча</translation>
    </message>
    <message>
        <source>Gaussian (a=2.5)</source>
        <comment>3024</comment>
        <translation>Гаусса (a=2,5)</translation>
    </message>
    <message>
        <source>Gaussian (a=3.5)</source>
        <comment>3025</comment>
        <translation>Гаусса (a=3,5)</translation>
    </message>
    <message>
        <source>Gaussian (a=4.5)</source>
        <comment>3026</comment>
        <translation>Гаусса (a=4,5)</translation>
    </message>
    <message>
        <source>1 pixel 480</source>
        <comment>3027</comment>
        <translation>1 пиксель 480</translation>
    </message>
    <message>
        <source>2 pixel 240</source>
        <comment>3028</comment>
        <translation>2 пикселя 240</translation>
    </message>
    <message>
        <source>4 pixel 120</source>
        <comment>3029</comment>
        <translation>4 пикселя 120</translation>
    </message>
    <message>
        <source>8 pixel 60</source>
        <comment>3030</comment>
        <translation>8 пикселей 60</translation>
    </message>
    <message>
        <source>20 pixel 24</source>
        <comment>3031</comment>
        <translation>20 пикселей 24</translation>
    </message>
    <message>
        <source>40 pixel 12</source>
        <comment>3032</comment>
        <translation>40 пикселей 12</translation>
    </message>
    <message>
        <source>80 pixel 6</source>
        <comment>3033</comment>
        <translation>80 пикселей 6</translation>
    </message>
    <message>
        <source>160 pixel 3</source>
        <comment>3034</comment>
        <translation>160 пикселей 3</translation>
    </message>
    <message>
        <source>320 pixel 1</source>
        <comment>3035</comment>
        <translation>320 пикселей 1</translation>
    </message>
    <message>
        <source>White, Background 1</source>
        <comment>3050</comment>
        <translation>Белый, фон 1</translation>
    </message>
    <message>
        <source>Black, Text 1</source>
        <comment>3051</comment>
        <translation>Черный, текст 1</translation>
    </message>
    <message>
        <source>Tan, Background 2</source>
        <comment>3052</comment>
        <translation>Бежевый, фон 2</translation>
    </message>
    <message>
        <source>Dark Blue, Text 2</source>
        <comment>3053</comment>
        <translation>Темно-синий, текст 2</translation>
    </message>
    <message>
        <source>Blue, Accent 1</source>
        <comment>3054</comment>
        <translation>Синий, акцент 1</translation>
    </message>
    <message>
        <source>Red, Accent 2</source>
        <comment>3055</comment>
        <translation>Красный, акцент 2</translation>
    </message>
    <message>
        <source>Olive Green, Accent 3</source>
        <comment>3056</comment>
        <translation>Оливковый, акцент 3</translation>
    </message>
    <message>
        <source>Purple, Accent 4</source>
        <comment>3057</comment>
        <translation>Фиолетовый, акцент 4</translation>
    </message>
    <message>
        <source>Aqua, Accent 5</source>
        <comment>3058</comment>
        <translation>Аква, акцент 5</translation>
    </message>
    <message>
        <source>Orange, Accent 6</source>
        <comment>3059</comment>
        <translation>Оранжевый, акцент 6</translation>
    </message>
    <message>
        <source>Dark Red</source>
        <comment>3060</comment>
        <translation>Темно-красный</translation>
    </message>
    <message>
        <source>Red</source>
        <comment>3061</comment>
        <translation>Красный</translation>
    </message>
    <message>
        <source>Orange</source>
        <comment>3062</comment>
        <translation>Оранжевый</translation>
    </message>
    <message>
        <source>Yellow</source>
        <comment>3063</comment>
        <translation>Желтый</translation>
    </message>
    <message>
        <source>Light Green</source>
        <comment>3064</comment>
        <translation>Светло-зеленый</translation>
    </message>
    <message>
        <source>Green</source>
        <comment>3065</comment>
        <translation>Зеленый</translation>
    </message>
    <message>
        <source>Light Blue</source>
        <comment>3066</comment>
        <translation>Голубой</translation>
    </message>
    <message>
        <source>Blue</source>
        <comment>3067</comment>
        <translation>Синий</translation>
    </message>
    <message>
        <source>Black</source>
        <comment>3068</comment>
        <translation>Черный</translation>
    </message>
    <message>
        <source>Purple</source>
        <comment>3069</comment>
        <translation>Фиолетовый</translation>
    </message>
    <message>
        <source>White, Background 1, Darker 5%</source>
        <comment>3070</comment>
        <translation>Белый, фон 1, темнее 5%</translation>
    </message>
    <message>
        <source>Black, Text 1, Lighter 50%</source>
        <comment>3071</comment>
        <translation>Черный, текст 1, светлее 50%</translation>
    </message>
    <message>
        <source>Tan, Background 2, Darker 10%</source>
        <comment>3072</comment>
        <translation>Бежевый, фон 2, темнее 10%</translation>
    </message>
    <message>
        <source>Dark Blue, Text 2, Lighter 80%</source>
        <comment>3073</comment>
        <translation>Темно-синий, текст 2, светлее 80%</translation>
    </message>
    <message>
        <source>Blue, Accent 1, Lighter 80%</source>
        <comment>3074</comment>
        <translation>Синий, акцент 1, светлее 80%</translation>
    </message>
    <message>
        <source>Red, Accent 2, Lighter 80%</source>
        <comment>3075</comment>
        <translation>Красный, акцент 2, светлее 80%</translation>
    </message>
    <message>
        <source>Olive Green, Accent 3, Lighter 80%</source>
        <comment>3076</comment>
        <translation>Оливковый, акцент 3, светлее 80%</translation>
    </message>
    <message>
        <source>Purple, Accent 4, Lighter 80%</source>
        <comment>3077</comment>
        <translation>Фиолетовый, акцент 4, светлее 80%</translation>
    </message>
    <message>
        <source>Aqua, Accent 5, Lighter 80%</source>
        <comment>3078</comment>
        <translation>Аква, акцент 5, светлее 80%</translation>
    </message>
    <message>
        <source>Orange, Accent 6, Lighter 80%</source>
        <comment>3079</comment>
        <translation>Оранжевый, акцент 6, светлее 80%</translation>
    </message>
    <message>
        <source>White, Background 1, Darker 15%</source>
        <comment>3080</comment>
        <translation>Белый, фон 1, темнее 15%</translation>
    </message>
    <message>
        <source>Black, Text 1, Lighter 35%</source>
        <comment>3081</comment>
        <translation>Черный, текст 1, светлее 35%</translation>
    </message>
    <message>
        <source>Tan, Background 2, Darker 25%</source>
        <comment>3082</comment>
        <translation>Бежевый, фон 2, темнее 25%</translation>
    </message>
    <message>
        <source>Dark Blue, Text 2, Lighter 60%</source>
        <comment>3083</comment>
        <translation>Темно-синий, текст 2, светлее 60%</translation>
    </message>
    <message>
        <source>Blue, Accent 1, Lighter 60%</source>
        <comment>3084</comment>
        <translation>Синий, акцент 1, светлее 60%</translation>
    </message>
    <message>
        <source>Red, Accent 2, Lighter 60%</source>
        <comment>3085</comment>
        <translation>Красный, акцент 2, светлее 60%</translation>
    </message>
    <message>
        <source>Olive Green, Accent 3, Lighter 60%</source>
        <comment>3086</comment>
        <translation>Оливковый, акцент 3, светлее 60%</translation>
    </message>
    <message>
        <source>Purple, Accent 4, Lighter 60%</source>
        <comment>3087</comment>
        <translation>Фиолетовый, акцент 4, светлее 60%</translation>
    </message>
    <message>
        <source>Aqua, Accent 5, Lighter 60%</source>
        <comment>3088</comment>
        <translation>Аква, акцент 5, светлее 60%</translation>
    </message>
    <message>
        <source>Orange, Accent 6, Lighter 60%</source>
        <comment>3089</comment>
        <translation>Оранжевый, акцент 6, светлее 60%</translation>
    </message>
    <message>
        <source>White, Background 1, Darker 25%</source>
        <comment>3090</comment>
        <translation>Белый, фон 1, темнее 25%</translation>
    </message>
    <message>
        <source>Black, Text 1, Lighter 25%</source>
        <comment>3091</comment>
        <translation>Черный, текст 1, светлее 25%</translation>
    </message>
    <message>
        <source>Tan, Background 2, Darker 35%</source>
        <comment>3092</comment>
        <translation>Бежевый, фон 2, темнее 35%</translation>
    </message>
    <message>
        <source>Dark Blue, Text 2, Lighter 40%</source>
        <comment>3093</comment>
        <translation>Темно-синий, текст 2, светлее 40%</translation>
    </message>
    <message>
        <source>Blue, Accent 1, Lighter 40%</source>
        <comment>3094</comment>
        <translation>Синий, акцент 1, светлее 40%</translation>
    </message>
    <message>
        <source>Red, Accent 2, Lighter 40%</source>
        <comment>3095</comment>
        <translation>Красный, акцент 2, светлее 40%</translation>
    </message>
    <message>
        <source>Olive Green, Accent 3, Lighter 40%</source>
        <comment>3096</comment>
        <translation>Оливковый, акцент 3, светлее 40%</translation>
    </message>
    <message>
        <source>Purple, Accent 4, Lighter 40%</source>
        <comment>3097</comment>
        <translation>Фиолетовый, акцент 4, светлее 40%</translation>
    </message>
    <message>
        <source>Aqua, Accent 5, Lighter 40%</source>
        <comment>3098</comment>
        <translation>Аква, акцент 5, светлее 40%</translation>
    </message>
    <message>
        <source>Orange, Accent 6, Lighter 40%</source>
        <comment>3099</comment>
        <translation>Оранжевый, акцент 6, светлее 40%</translation>
    </message>
    <message>
        <source>White, Background 1, Darker 35%</source>
        <comment>3100</comment>
        <translation>Белый, фон 1, темнее 35%</translation>
    </message>
    <message>
        <source>Black, Text 1, Lighter 15%</source>
        <comment>3101</comment>
        <translation>Черный, текст 1, светлее 15%</translation>
    </message>
    <message>
        <source>Tan, Background 2, Darker 50%</source>
        <comment>3102</comment>
        <translation>Бежевый, фон 2, темнее 50%</translation>
    </message>
    <message>
        <source>Dark Blue, Text 2, Darker 25%</source>
        <comment>3103</comment>
        <translation>Темно-синий, текст 2, темнее 25%</translation>
    </message>
    <message>
        <source>Blue, Accent 1, Darker 25%</source>
        <comment>3104</comment>
        <translation>Синий, акцент 1, темнее 25%</translation>
    </message>
    <message>
        <source>Red, Accent 2, Darker 25%</source>
        <comment>3105</comment>
        <translation>Красный, акцент 2, темнее 25%</translation>
    </message>
    <message>
        <source>Olive Green, Accent 3, Darker 25%</source>
        <comment>3106</comment>
        <translation>Оливковый, акцент 3, темнее 25%</translation>
    </message>
    <message>
        <source>Purple, Accent 4, Darker 25%</source>
        <comment>3107</comment>
        <translation>Фиолетовый, акцент 4, темнее 25%</translation>
    </message>
    <message>
        <source>Aqua, Accent 5, Darker 25%</source>
        <comment>3108</comment>
        <translation>Аква, акцент 5, темнее 25%</translation>
    </message>
    <message>
        <source>Orange, Accent 6, Darker 25%</source>
        <comment>3109</comment>
        <translation>Оранжевый, акцент 6, темнее 25%</translation>
    </message>
    <message>
        <source>White, Background 1, Darker 50%</source>
        <comment>3110</comment>
        <translation>Белый, фон 1, темнее 50%</translation>
    </message>
    <message>
        <source>Black, Text 1, Lighter 5%</source>
        <comment>3111</comment>
        <translation>Черный, текст 1, светлее 5%</translation>
    </message>
    <message>
        <source>Tan, Background 2, Darker 90%</source>
        <comment>3112</comment>
        <translation>Бежевый, фон 2, темнее 90%</translation>
    </message>
    <message>
        <source>Dark Blue, Text 2, Darker 50%</source>
        <comment>3113</comment>
        <translation>Темно-синий, текст 2, темнее 50%</translation>
    </message>
    <message>
        <source>Blue, Accent 1, Darker 50%</source>
        <comment>3114</comment>
        <translation>Синий, акцент 1, темнее 50%</translation>
    </message>
    <message>
        <source>Red, Accent 2, Darker 50%</source>
        <comment>3115</comment>
        <translation>Красный, акцент 2, темнее 50%</translation>
    </message>
    <message>
        <source>Olive Green, Accent 3, Darker 50%</source>
        <comment>3116</comment>
        <translation>Оливковый, акцент 3, темнее 50%</translation>
    </message>
    <message>
        <source>Purple, Accent 4, Darker 50%</source>
        <comment>3117</comment>
        <translation>Фиолетовый, акцент 4, темнее 50%</translation>
    </message>
    <message>
        <source>Aqua, Accent 5, Darker 50%</source>
        <comment>3118</comment>
        <translation>Аква, акцент 5, темнее 50%</translation>
    </message>
    <message>
        <source>Orange, Accent 6, Darker 50%</source>
        <comment>3119</comment>
        <translation>Оранжевый, акцент 6, темнее 50%</translation>
    </message>
    <message>
        <source>Host name is required</source>
        <comment>3301</comment>
        <translation>Требуется имя узла</translation>
    </message>
    <message>
        <source>The name field cannot be empty<byte value="xd"/>
To continue, you need to enter non-empty name.</source>
        <comment>3302</comment>
        <translation>Поле имени не может быть пустым<byte value="xd"/>
Чтобы продолжить, введите имя.</translation>
    </message>
    <message>
        <source>Host is correct</source>
        <comment>3303</comment>
        <translation>Имя узла указано</translation>
    </message>
    <message>
        <source>To get an answer to this question, click on this link.</source>
        <comment>3305</comment>
        <translation>Чтобы узнать ответ на этот вопрос, перейдите по этой ссылке.</translation>
    </message>
    <message>
        <source>&amp;Show RTSP url Bookmarks</source>
        <comment>3306</comment>
        <translation>&amp;Показать закладки RTSP-адресов</translation>
    </message>
    <message>
        <source>&amp;Hide RTSP urk Bookmarks</source>
        <comment>3307</comment>
        <translation>&amp;Скрыть закладки RTSP-адресов</translation>
    </message>
    <message>
        <source>To change the language, you need to restart the application!
Restart the application now?</source>
        <comment>3308</comment>
        <translation>Чтобы сменить язык, нужно перезапустить приложение!
Перезапустить его сейчас?</translation>
    </message>
    <message>
        <source>Remove RTS url bookmark from list?</source>
        <comment>3309</comment>
        <translation>Удалить закладку RTSP-адреса из списка?</translation>
    </message>
    <message>
        <source>Bookmark name</source>
        <comment>3310</comment>
        <translation>Имя закладки</translation>
    </message>
    <message>
        <source>RTSP url</source>
        <comment>3311</comment>
        <translation>RTSP-адрес</translation>
    </message>
    <message>
        <source>RTSP bookmark</source>
        <comment>3312</comment>
        <translation>Закладка RTSP</translation>
    </message>
    <message>
        <source>RTSP bookmark name:</source>
        <comment>3313</comment>
        <translation>Имя закладки RTSP:</translation>
    </message>
    <message>
        <source>RTSP url link:</source>
        <comment>3314</comment>
        <translation>RTSP-адрес:</translation>
    </message>
    <message>
        <source>OK</source>
        <comment>3315</comment>
        <translation>ОК</translation>
    </message>
    <message>
        <source>Cancel</source>
        <comment>3316</comment>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>Edit ...</source>
        <comment>3317</comment>
        <translation>Изменить...</translation>
    </message>
    <message>
        <source>Delete</source>
        <comment>3318</comment>
        <translation>Удалить</translation>
    </message>
    <message>
        <source>Edit RTSP url bookmark list</source>
        <comment>3319</comment>
        <translation>Список закладок RTSP-адресов</translation>
    </message>
    <message>
        <source>Main</source>
        <comment>3320</comment>
        <translation>Главная</translation>
    </message>
    <message>
        <source>Click here to see and change options</source>
        <comment>3321</comment>
        <translation>Нажмите, чтобы просмотреть и изменить параметры</translation>
    </message>
    <message>
        <source>Options</source>
        <comment>3322</comment>
        <translation>Параметры</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <comment>3323</comment>
        <translation>В&amp;ыход</translation>
    </message>
    <message>
        <source>The version of the installed software %u.%u.%u is less than on the manufacturer&apos;s website %u.%u.%u.
It is recommended to update the software. Download the new version of the software ?</source>
        <comment>3324</comment>
        <translation>Установлена версия программы %u.%u.%u, а на сайте производителя уже есть версия %u.%u.%u.
Рекомендуется обновить программу. Загрузить новую версию?</translation>
    </message>
    <message>
        <source>Information is not available</source>
        <comment>3337</comment>
        <translation>Сведения недоступны</translation>
    </message>
    <message>
        <source>Apply</source>
        <comment>3340</comment>
        <translation>Применить</translation>
    </message>
    <message>
        <source>Version:</source>
        <comment>3341</comment>
        <translation>Версия:</translation>
    </message>
    <message>
        <source>Description:</source>
        <comment>3342</comment>
        <translation>Описание:</translation>
    </message>
    <message>
        <source>Copyright:</source>
        <comment>3343</comment>
        <translation>Авторские права:</translation>
    </message>
    <message>
        <source>Company:</source>
        <comment>3344</comment>
        <translation>Компания:</translation>
    </message>
    <message>
        <source>Web site:</source>
        <comment>3345</comment>
        <translation>Веб-сайт:</translation>
    </message>
    <message>
        <source>Select language user inteface:</source>
        <comment>3346</comment>
        <translation>Язык интерфейса:</translation>
    </message>
    <message>
        <source>Set folder for save application user data: log files, bookmarks e.t.c:</source>
        <comment>3347</comment>
        <translation>Папка для данных пользователя (журналы, закладки и т. п.):</translation>
    </message>
    <message>
        <source>Preview</source>
        <comment>4000</comment>
        <translation>Просмотр</translation>
    </message>
    <message>
        <source>Peak meter</source>
        <comment>4001</comment>
        <translation>Пиковый индикатор</translation>
    </message>
    <message>
        <source>Waveform</source>
        <comment>4002</comment>
        <translation>Осциллограмма</translation>
    </message>
    <message>
        <source>Spectrum</source>
        <comment>4003</comment>
        <translation>Спектр</translation>
    </message>
    <message>
        <source>Control</source>
        <comment>4010</comment>
        <translation>Управление</translation>
    </message>
    <message>
        <source>Layout</source>
        <comment>4011</comment>
        <translation>Компоновка</translation>
    </message>
    <message>
        <source>Color</source>
        <comment>4012</comment>
        <translation>Цвет</translation>
    </message>
    <message>
        <source>Audio monitor</source>
        <comment>4013</comment>
        <translation>Аудиомонитор</translation>
    </message>
    <message>
        <source>Waveform</source>
        <comment>4014</comment>
        <translation>Осциллограмма</translation>
    </message>
    <message>
        <source>Mode</source>
        <comment>4015</comment>
        <translation>Режим</translation>
    </message>
    <message>
        <source>Options</source>
        <comment>4016</comment>
        <translation>Параметры</translation>
    </message>
    <message>
        <source>Draw mode</source>
        <comment>4017</comment>
        <translation>Режим отрисовки</translation>
    </message>
    <message>
        <source>View</source>
        <comment>4018</comment>
        <translation>Вид</translation>
    </message>
    <message>
        <source>Camera</source>
        <comment>4019</comment>
        <translation>Камера</translation>
    </message>
    <message>
        <source>&amp;More Colors...</source>
        <comment>5000</comment>
        <translation>&amp;Другие цвета...</translation>
    </message>
    <message>
        <source>More Colors</source>
        <comment>5001</comment>
        <translation>Другие цвета</translation>
    </message>
    <message>
        <source>Minimize the Ribbon</source>
        <comment>5003</comment>
        <translation>Свернуть ленту</translation>
    </message>
    <message>
        <source>Show only the tab names on the ribbon (Ctrl+F1).</source>
        <comment>5004</comment>
        <translation>Оставить на ленте только названия вкладок (Ctrl+F1).</translation>
    </message>
    <message>
        <source>Expand the Ribbon</source>
        <comment>5005</comment>
        <translation>Развернуть ленту</translation>
    </message>
    <message>
        <source>Show the whole ribbon, tabs and commands (Ctrl+F1).</source>
        <comment>5006</comment>
        <translation>Показать всю ленту: вкладки и команды (Ctrl+F1).</translation>
    </message>
    <message>
        <source>Start</source>
        <comment>33000</comment>
        <translation>Старт</translation>
    </message>
    <message>
        <source>Stop</source>
        <comment>33001</comment>
        <translation>Стоп</translation>
    </message>
    <message>
        <source>Info</source>
        <comment>33002</comment>
        <translation>Инфо</translation>
    </message>
    <message>
        <source>Show all</source>
        <comment>33003</comment>
        <translation>Показать все</translation>
    </message>
    <message>
        <source>Show audio</source>
        <comment>33004</comment>
        <translation>Только звук</translation>
    </message>
    <message>
        <source>Show video</source>
        <comment>33005</comment>
        <translation>Только видео</translation>
    </message>
    <message>
        <source>Opacity</source>
        <comment>33006</comment>
        <translation>Непрозрачность</translation>
    </message>
    <message>
        <source>Axis</source>
        <comment>33007</comment>
        <translation>Оси</translation>
    </message>
    <message>
        <source>Background</source>
        <comment>33008</comment>
        <translation>Фон</translation>
    </message>
    <message>
        <source>Waveform</source>
        <comment>33009</comment>
        <translation>Осциллограмма</translation>
    </message>
    <message>
        <source>Spectrum</source>
        <comment>33010</comment>
        <translation>Спектр</translation>
    </message>
    <message>
        <source>Normal</source>
        <comment>33011</comment>
        <translation>Норма</translation>
    </message>
    <message>
        <source>Mid</source>
        <comment>33012</comment>
        <translation>Середина</translation>
    </message>
    <message>
        <source>Max</source>
        <comment>33013</comment>
        <translation>Максимум</translation>
    </message>
    <message>
        <source>Log</source>
        <comment>33014</comment>
        <translation>Лог.</translation>
    </message>
    <message>
        <source>Line</source>
        <comment>33015</comment>
        <translation>Линия</translation>
    </message>
    <message>
        <source>Lines</source>
        <comment>33016</comment>
        <translation>Линии</translation>
    </message>
    <message>
        <source>Bars</source>
        <comment>33017</comment>
        <translation>Столбцы</translation>
    </message>
    <message>
        <source>Device:</source>
        <comment>33019</comment>
        <translation>Устройство:</translation>
    </message>
    <message>
        <source>Preview</source>
        <comment>33020</comment>
        <translation>Прослушивание</translation>
    </message>
    <message>
        <source>Select wave scale(10 msec by pixel):</source>
        <comment>33021</comment>
        <translation>Масштаб осциллограммы (10 мс на пиксель):</translation>
    </message>
    <message>
        <source>Real tume</source>
        <comment>33024</comment>
        <translation>Реальное время</translation>
    </message>
    <message>
        <source>Middle spectrum</source>
        <comment>33025</comment>
        <translation>Средний спектр</translation>
    </message>
    <message>
        <source>Min spectrum</source>
        <comment>33026</comment>
        <translation>Мин. спектр</translation>
    </message>
    <message>
        <source>Max spectrum</source>
        <comment>33027</comment>
        <translation>Макс. спектр</translation>
    </message>
    <message>
        <source>Opacity</source>
        <comment>33029</comment>
        <translation>Непрозрачность</translation>
    </message>
    <message>
        <source>New camera</source>
        <comment>33030</comment>
        <translation>Новая камера</translation>
    </message>
    <message>
        <source>Add to bookmark</source>
        <comment>33031</comment>
        <translation>В закладки</translation>
    </message>
    <message>
        <source>Edit bookmark</source>
        <comment>33032</comment>
        <translation>Закладки</translation>
    </message>
    <message>
        <source>Start camera preview</source>
        <comment>33100</comment>
        <translation>Начать просмотр камеры</translation>
    </message>
    <message>
        <source>Stop camera preview</source>
        <comment>33101</comment>
        <translation>Остановить просмотр камеры</translation>
    </message>
    <message>
        <source>Show codec info by camera</source>
        <comment>33102</comment>
        <translation>Показать сведения о кодеках камеры</translation>
    </message>
    <message>
        <source>Show all widgets</source>
        <comment>33103</comment>
        <translation>Показать видео и все виджеты</translation>
    </message>
    <message>
        <source>Show audio widget</source>
        <comment>33104</comment>
        <translation>Показать только аудиовиджеты</translation>
    </message>
    <message>
        <source>Show video from caemra</source>
        <comment>33105</comment>
        <translation>Показать только видео с камеры</translation>
    </message>
    <message>
        <source>Select transparent mode</source>
        <comment>33106</comment>
        <translation>Выбрать прозрачность виджетов</translation>
    </message>
    <message>
        <source>Select color for axis</source>
        <comment>33107</comment>
        <translation>Выбрать цвет осей</translation>
    </message>
    <message>
        <source>Select color for Background</source>
        <comment>33108</comment>
        <translation>Выбрать цвет фона</translation>
    </message>
    <message>
        <source>Select color for Waveform</source>
        <comment>33109</comment>
        <translation>Выбрать цвет осциллограммы</translation>
    </message>
    <message>
        <source>Select color for Spectrum</source>
        <comment>33110</comment>
        <translation>Выбрать цвет спектра</translation>
    </message>
    <message>
        <source>Select color for Normal peak area</source>
        <comment>33111</comment>
        <translation>Выбрать цвет нормальной зоны пикового индикатора</translation>
    </message>
    <message>
        <source>Select color for Mid peak area</source>
        <comment>33112</comment>
        <translation>Выбрать цвет средней зоны пикового индикатора</translation>
    </message>
    <message>
        <source>Select color for Max peak area</source>
        <comment>33113</comment>
        <translation>Выбрать цвет максимальной зоны пикового индикатора</translation>
    </message>
    <message>
        <source>Set waveform mode: Log</source>
        <comment>33114</comment>
        <translation>Режим осциллограммы: логарифмический</translation>
    </message>
    <message>
        <source>Set waveform mode: LogLine</source>
        <comment>33115</comment>
        <translation>Режим осциллограммы: логарифмический, линией</translation>
    </message>
    <message>
        <source>Set spectrum mode: Lines</source>
        <comment>33116</comment>
        <translation>Режим спектра: линии</translation>
    </message>
    <message>
        <source>Set spectrum mode: Bars</source>
        <comment>33117</comment>
        <translation>Режим спектра: столбцы</translation>
    </message>
    <message>
        <source>Device:</source>
        <comment>33119</comment>
        <translation>Устройство:</translation>
    </message>
    <message>
        <source>Set audio preview mode</source>
        <comment>33120</comment>
        <translation>Включить или выключить прослушивание звука</translation>
    </message>
    <message>
        <source>Select wave scale(10 msec by pixel):</source>
        <comment>33121</comment>
        <translation>Масштаб осциллограммы (10 мс на пиксель):</translation>
    </message>
    <message>
        <source>Spectrum mode: Real tume</source>
        <comment>33124</comment>
        <translation>Режим спектра: реальное время</translation>
    </message>
    <message>
        <source>Spectrum mode: Middle spectrum</source>
        <comment>33125</comment>
        <translation>Режим спектра: средний спектр</translation>
    </message>
    <message>
        <source>Spectrum mode: Min spectrum</source>
        <comment>33126</comment>
        <translation>Режим спектра: минимальный спектр</translation>
    </message>
    <message>
        <source>Spectrum mode: Max spectrum</source>
        <comment>33127</comment>
        <translation>Режим спектра: максимальный спектр</translation>
    </message>
    <message>
        <source>Spectrum draw opacity</source>
        <comment>33129</comment>
        <translation>Непрозрачность заливки спектра</translation>
    </message>
    <message>
        <source>Connect to new IP camera</source>
        <comment>33130</comment>
        <translation>Подключиться к другой IP-камере</translation>
    </message>
    <message>
        <source>Add current IP camera to bookmark</source>
        <comment>33131</comment>
        <translation>Добавить текущую IP-камеру в закладки</translation>
    </message>
    <message>
        <source>Edit bookmark list</source>
        <comment>33132</comment>
        <translation>Изменить список закладок</translation>
    </message>
    <message>
        <source>IP camera</source>
        <comment>34001</comment>
        <translation>IP-камера</translation>
    </message>
    <message>
        <source>Please enter RTSP URL for IP camera</source>
        <comment>34003</comment>
        <translation>Введите RTSP-адрес IP-камеры</translation>
    </message>
    <message>
        <source>* RTSP url:</source>
        <comment>34004</comment>
        <translation>* RTSP-адрес:</translation>
    </message>
    <message>
        <source>How to get rtsp url link for your IP camera?</source>
        <comment>34008</comment>
        <translation>Как узнать RTSP-адрес своей IP-камеры?</translation>
    </message>
    <message>
        <source>Command line argument incorrect!</source>
        <comment>5200</comment>
        <translation>Неверный аргумент командной строки!</translation>
    </message>
    <message>
        <source>Unknown format</source>
        <comment>5201</comment>
        <translation>Неизвестный формат</translation>
    </message>
    <message>
        <source>Command line options:

   /H, /?			- Display list of commands
   /U:rtsp://.....		- URL rtsp address
</source>
        <comment>5202</comment>
        <translation>Параметры командной строки:

   /H, /?			- Показать список параметров
   /U:rtsp://.....		- RTSP-адрес камеры
</translation>
    </message>
    <message>
        <source>Default</source>
        <comment>5203</comment>
        <translation>По умолчанию</translation>
    </message>
    <message>
        <source>The folder for the user data cannot be created:
%s
%s</source>
        <comment>5400</comment>
        <translation>Не удаётся создать папку для данных пользователя:
%s
%s</translation>
    </message>
    <message>
        <source>The bookmarks cannot be saved in the folder:
%s
The log files and the bookmarks stay where they were.</source>
        <comment>5401</comment>
        <translation>Не удаётся сохранить закладки в папке:
%s
Журналы и закладки остаются на прежнем месте.</translation>
    </message>
    <message>
        <source>The new folder cannot be stored in the settings file:
%s
The log files and the bookmarks stay where they were.</source>
        <comment>5402</comment>
        <translation>Не удаётся записать новую папку в файл настроек:
%s
Журналы и закладки остаются на прежнем месте.</translation>
    </message>
    <message>
        <source>Give the folder for the user data as a full path, beginning with &quot;/&quot;:
%s</source>
        <comment>5403</comment>
        <translation>Укажите полный путь к папке для данных пользователя, начиная с «/»:
%s</translation>
    </message>
    <message>
        <source>Default English US</source>
        <comment>5404</comment>
        <translation>По умолчанию (английский, США)</translation>
    </message>
    <message>
        <source>About kxToneScopePreview</source>
        <comment>5410</comment>
        <translation>О программе kxToneScopePreview</translation>
    </message>
    <message>
        <source>kxToneScopePreview, Version 1.0</source>
        <comment>5411</comment>
        <translation>kxToneScopePreview, версия 1.0</translation>
    </message>
    <message>
        <source>&amp;About</source>
        <comment>5412</comment>
        <translation>&amp;О программе</translation>
    </message>
    <message>
        <source>The language cannot be stored in the settings file:
%s
The program keeps its language.</source>
        <comment>5405</comment>
        <translation>Не удаётся записать язык в файл настроек:
%s
Язык программы остаётся прежним.</translation>
    </message>
    <message>
        <source>The program cannot be restarted:
%s
%s
Start it again yourself to see the new language.</source>
        <comment>5406</comment>
        <translation>Не удаётся перезапустить программу:
%s
%s
Запустите её снова сами, чтобы увидеть новый язык.</translation>
    </message>
    <message>
        <source>The bookmarks cannot be saved to the file:
%s
%s
The change is kept while the program runs.</source>
        <comment>5407</comment>
        <translation>Не удаётся сохранить закладки в файл:
%s
%s
Изменения сохраняются в памяти, пока программа работает.</translation>
    </message>
    <message>
        <source>The bookmark file could not be read completely. It is kept as:
%s</source>
        <comment>5408</comment>
        <translation>Файл закладок не удалось прочитать полностью. Он сохранён как:
%s</translation>
    </message>
    <message>
        <source>The new folder already held a bookmark file. It is kept as:
%s</source>
        <comment>5409</comment>
        <translation>В новой папке уже был файл закладок. Он сохранён как:
%s</translation>
    </message>
    <message>
        <source>Measurements</source>
        <comment>4004</comment>
        <translation>Измерения</translation>
    </message>
    <message>
        <source>Sound measurements</source>
        <comment>4020</comment>
        <translation>Измерение звука</translation>
    </message>
    <message>
        <source>Panel</source>
        <comment>33040</comment>
        <translation>Панель</translation>
    </message>
    <message>
        <source>Reset</source>
        <comment>33041</comment>
        <translation>Сбросить</translation>
    </message>
    <message>
        <source>Show or hide the panel of sound measurements</source>
        <comment>33140</comment>
        <translation>Показать или скрыть панель измерений звука</translation>
    </message>
    <message>
        <source>Start the measurements again: loudness integration, peaks and counts from zero</source>
        <comment>33141</comment>
        <translation>Начать измерения заново: накопление громкости, пики и счётчики с нуля</translation>
    </message>
    <message>
        <source>Evidence</source>
        <comment>4021</comment>
        <translation>Фиксация</translation>
    </message>
    <message>
        <source>The picture is saved as:
%s</source>
        <comment>5413</comment>
        <translation>Снимок сохранён в файл:
%s</translation>
    </message>
    <message>
        <source>The sound is saved as:
%s</source>
        <comment>5414</comment>
        <translation>Звук сохранён в файл:
%s</translation>
    </message>
    <message>
        <source>The file cannot be saved:
%s
%s</source>
        <comment>5415</comment>
        <translation>Не удаётся сохранить файл:
%s
%s</translation>
    </message>
    <message>
        <source>No sound has come from the camera since the last start: there is nothing to save.</source>
        <comment>5416</comment>
        <translation>С последнего запуска от камеры не пришло звука: сохранять нечего.</translation>
    </message>
    <message>
        <source>Open data &amp;folder</source>
        <comment>5417</comment>
        <translation>Открыть &amp;папку данных</translation>
    </message>
    <message>
        <source>Save picture</source>
        <comment>33042</comment>
        <translation>Сохранить снимок</translation>
    </message>
    <message>
        <source>Save sound</source>
        <comment>33043</comment>
        <translation>Сохранить звук</translation>
    </message>
    <message>
        <source>Save the picture and the monitor as shown to a PNG file in the user data folder</source>
        <comment>33142</comment>
        <translation>Сохранить изображение с монитором, как они видны, в файл PNG в папке данных пользователя</translation>
    </message>
    <message>
        <source>Save the last 10 seconds of the camera&apos;s sound, as decoded and before the volume, to a WAV file in the user data folder</source>
        <comment>33143</comment>
        <translation>Сохранить последние 10 секунд звука камеры, как он декодирован, до регулятора громкости, в файл WAV в папке данных пользователя</translation>
    </message>
    <message>
        <source>Reconnect</source>
        <comment>4022</comment>
        <translation>Повтор связи</translation>
    </message>
    <message>
        <source>Reconnecting: attempt %d, next in %d s</source>
        <comment>5418</comment>
        <translation>Переподключение: попытка %d, следующая через %d с</translation>
    </message>
    <message>
        <source>drops: %d, longest %d s</source>
        <comment>5419</comment>
        <translation>обрывы: %d, самый долгий %d с</translation>
    </message>
    <message>
        <source>silences: %d</source>
        <comment>5420</comment>
        <translation>тишина: %d</translation>
    </message>
    <message>
        <source>clipping bursts: %d</source>
        <comment>5421</comment>
        <translation>перегрузки: %d</translation>
    </message>
    <message>
        <source>Once</source>
        <comment>33045</comment>
        <translation>Один раз</translation>
    </message>
    <message>
        <source>Keep trying</source>
        <comment>33046</comment>
        <translation>Пробовать снова</translation>
    </message>
    <message>
        <source>After a drop, try to reconnect once; if that fails, the preview stops</source>
        <comment>33145</comment>
        <translation>После обрыва одна попытка переподключения; если она не удалась, просмотр останавливается</translation>
    </message>
    <message>
        <source>After a drop or a failed open, try again after 1, 2, 4, 8, 16 and then every 30 seconds until the camera answers</source>
        <comment>33146</comment>
        <translation>После обрыва или неудачного открытия пробовать снова через 1, 2, 4, 8, 16 секунд, затем каждые 30 секунд, пока камера не ответит</translation>
    </message>
</context>
</TS>
